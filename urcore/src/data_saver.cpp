#include <ur/data_saver.h>

#include <QFile>

namespace ur {

// IxDataSaver -------------------------------------------------------------------------------

IxDataSaver::IxDataSaver(QObject* parent) : QObject(parent) {}

IxDataSaver::~IxDataSaver() = default;

bool IxDataSaver::open() { return true; }

bool IxDataSaver::close() { return true; }

void IxDataSaver::remove() {
  if (!m_fileName.isEmpty()) QFile::remove(m_fileName);
}

bool IxDataSaver::save(const IxData* data, int frame) { return saveImageData(data, frame); }

void IxDataSaver::setFilename(const QString& fileName) { m_fileName = fileName; }

bool IxDataSaver::isSequenceSaver() const { return false; }

QString IxDataSaver::filename() const { return m_fileName; }

bool IxDataSaver::supportsSaveToBuffer() const { return false; }

bool IxDataSaver::saveToBuffer(const IxData*, QByteArray&, const QString&, int) { return false; }

void IxDataSaver::setSequenceSize(int frames) { m_sequenceSize = frames; }

void IxDataSaver::setOptions(const SaveOptions& options) { m_options = options; }

QWidget* IxDataSaver::widgetForSaveDlg(QWidget*) { return nullptr; }

SaveOptions IxDataSaver::optionsFromSaveDlg(QWidget*) { return m_options; }

QString IxDataSaver::metadataSubdir() const { return m_metadataSubdir; }

void IxDataSaver::setMetadataSubdir(const QString& subdir) { m_metadataSubdir = subdir; }

bool IxDataSaver::exportMetadata(const IxData*, int) { return false; }

// IxImageDataSaver --------------------------------------------------------------------------

IxImageDataSaver::IxImageDataSaver(QObject* parent) : IxDataSaver(parent) {}

void IxImageDataSaver::setGlobalMetadata(const CxMetadata& metadata) {
  m_globalMetadata = metadata;
}

bool IxImageDataSaver::saveMetadata(int, const CxMetadata&) { return false; }

bool IxImageDataSaver::saveGlobalMetadata() { return false; }

}  // namespace ur
