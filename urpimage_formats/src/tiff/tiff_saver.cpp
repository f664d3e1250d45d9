#include "tiff/tiff_saver.h"

#include "tiff/tiff_options_widget.h"
#include "tiff/tiff_page_writer.h"
#include "tiff/tiff_tags.h"

#include <ur/common_image_metadata.h>
#include <ur/image_data.h>

#include <QByteArray>

#include <algorithm>
#include <limits>

namespace ur {

namespace {

// The metadata as XML, its common record stating the written data type, and the
// record's descriptive fields as TIFF tags.
void WriteMetadata(TIFF* tif, const CxMetadata& source, ExImageDataType writtenType) {
  if (source.isEmpty()) return;
  CxMetadata metadata(source);
  auto* record = metadata.find<CxCommonImageMetadata>();
  if (record) record->dataType = writtenType;
  tiff::SetTextTag(tif, TIFFTAG_IMAGEDESCRIPTION, metadata.saveToXml());
  if (record) tiff::WriteCommonRecordTags(tif, *record);
}

}  // namespace

CxTiffImageSaver::CxTiffImageSaver(QObject* parent) : IxImageDataSaver(parent) {
  tiff::InstallTiffMessageHandlers();
}

CxTiffImageSaver::~CxTiffImageSaver() { close(); }

bool CxTiffImageSaver::openFile() {
  if (m_fileName.isEmpty()) return false;
  m_file = std::make_unique<CxAtomicFile>(m_fileName);
  m_tiff = tiff::OpenTiff(m_file->tempPath(), m_multiPage ? "w8" : "w");
  if (!m_tiff) {
    m_file.reset();  // removes whatever the failed open left behind
    return false;
  }
  return true;
}

bool CxTiffImageSaver::saveImageData(const IxData* data, int frame) {
  const auto* image = qobject_cast<const CxImageData*>(data);
  if (!image || m_failed) return false;
  const SxImageBuf& buf = image->image();
  tiff::TiffWritePlan plan;
  const bool keepDeepData =
      m_options.value(QLatin1String(tiff::kOptionData16Bit), tiff::kDefaultData16Bit).toBool();
  const bool scaleRange =
      m_options.value(QLatin1String(tiff::kOptionScaleRange), tiff::kDefaultScaleRange).toBool();
  const int compression =
      m_options.value(QLatin1String(tiff::kOptionCompression), tiff::kDefaultCompression).toInt();
  if (!tiff::MakeWritePlan(buf, keepDeepData, scaleRange, compression, plan)) return false;

  // The first frame creates the file; later ones are marked as pages of it.
  if (!m_tiff) {
    if (!openFile()) return false;
  } else {
    const int page = std::clamp(frame, 0, int(std::numeric_limits<std::uint16_t>::max()));
    TIFFSetField(m_tiff.get(), TIFFTAG_PAGENUMBER, page, page);
    TIFFSetField(m_tiff.get(), TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
  }
  TIFF* tif = m_tiff.get();
  tiff::SetLayoutTags(tif, buf, plan);
  tiff::SetTextTag(tif, TIFFTAG_PAGENAME, QString::number(image->timestampUs()));
  if (frame == 0) WriteMetadata(tif, image->metadata(), plan.dataType);

  if (!tiff::WritePagePixels(tif, buf, plan) || !TIFFWriteDirectory(tif)) {
    m_failed = true;
    return false;
  }
  return true;
}

bool CxTiffImageSaver::close() {
  bool ok = !m_failed;
  if (m_tiff) {
    // TIFFClose reports nothing, so pending data is flushed first to see whether it fails.
    ok = TIFFFlush(m_tiff.get()) && ok;
    m_tiff.reset();
  }
  if (m_file) {
    ok = ok && m_file->commit();
    m_file.reset();  // an uncommitted temporary file is removed here
  }
  m_failed = false;
  return ok;
}

FileFormatList CxTiffImageSaver::fileFormats() const {
  return {SxFileFormat{QStringLiteral("TIFF (*.tif)"), 1},
          SxFileFormat{QStringLiteral("TIFF (*.tiff)"), 1}};
}

void CxTiffImageSaver::setFilename(const QString& fileName) {
  close();
  IxImageDataSaver::setFilename(fileName);
}

void CxTiffImageSaver::setSequenceSize(int frames) {
  IxImageDataSaver::setSequenceSize(frames);
  m_multiPage = frames > 1;
}

QWidget* CxTiffImageSaver::widgetForSaveDlg(QWidget* parent) {
  return new tiff::CxTiffOptionsWidget(m_options, parent);
}

QVariantMap CxTiffImageSaver::optionsFromWidget(QWidget* widget) {
  SaveOptions options = m_options;
  tiff::ReadOptionsFromWidget(widget, options);
  return options;
}

}  // namespace ur
