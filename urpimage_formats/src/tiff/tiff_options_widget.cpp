#include "tiff/tiff_options_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>

namespace ur::tiff {

namespace {

// The texts belong to the saver's translation context so translators find them together.
constexpr char kContext[] = "ur::CxTiffImageSaver";

const QString kComboName = QStringLiteral("cbCompr");
const QString kData16BitName = QStringLiteral("chk16BitData");
const QString kScaleRangeName = QStringLiteral("chkScaleRange16");

}  // namespace

CxTiffOptionsWidget::CxTiffOptionsWidget(const SaveOptions& options, QWidget* parent)
    : QWidget(parent) {
  auto* grid = new QGridLayout(this);

  auto* label = new QLabel(QCoreApplication::translate(kContext, "Compression:"), this);
  m_compression = new QComboBox(this);
  m_compression->setObjectName(kComboName);
  m_compression->addItem(QCoreApplication::translate(kContext, "LZW"));
  m_compression->addItem(QCoreApplication::translate(kContext, "Packbits"));
  m_compression->addItem(QCoreApplication::translate(kContext, "Uncompressed") +
                         QCoreApplication::translate(kContext, " (%1)")
                             .arg(QCoreApplication::translate(kContext, "faster")));
  label->setBuddy(m_compression);
  const int compression =
      options.value(QLatin1String(kOptionCompression), kDefaultCompression).toInt();
  m_compression->setCurrentIndex(
      compression == kCompressionLzw || compression == kCompressionPackBits ? compression
                                                                            : kCompressionNone);

  m_data16Bit =
      new QCheckBox(QCoreApplication::translate(kContext, "Enable storing 16-bit data"), this);
  m_data16Bit->setObjectName(kData16BitName);
  m_data16Bit->setChecked(
      options.value(QLatin1String(kOptionData16Bit), kDefaultData16Bit).toBool());

  m_scaleRange = new QCheckBox(
      QCoreApplication::translate(kContext, "Scale the color bit depth to a full 16-bit range"),
      this);
  m_scaleRange->setObjectName(kScaleRangeName);
  m_scaleRange->setChecked(
      options.value(QLatin1String(kOptionScaleRange), kDefaultScaleRange).toBool());
  m_scaleRange->setEnabled(m_data16Bit->isChecked());
  m_scaleRange->setToolTip(QCoreApplication::translate(
      kContext,
      "If the image has its color bit depth (bits per channel) greater than 8bitsthen the color "
      "range will be scaled to full 16bit range (e.g. 10bit image \nwill be scaled to 16bit "
      "image).\nThis option is NOT valid for 8bit images."));

  grid->addWidget(label, 0, 0);
  grid->addWidget(m_compression, 0, 1);
  grid->addWidget(m_data16Bit, 1, 0, 1, 2);
  grid->addWidget(m_scaleRange, 2, 0, 1, 2);

  connect(m_data16Bit, &QCheckBox::clicked, this, &CxTiffOptionsWidget::onData16BitClicked);
}

void CxTiffOptionsWidget::onData16BitClicked(bool checked) { m_scaleRange->setEnabled(checked); }

void ReadOptionsFromWidget(const QWidget* widget, SaveOptions& options) {
  if (!widget) return;
  if (const auto* box = widget->findChild<QCheckBox*>(kData16BitName))
    options.insert(QLatin1String(kOptionData16Bit), box->isChecked());
  if (const auto* combo = widget->findChild<QComboBox*>(kComboName))
    options.insert(QLatin1String(kOptionCompression), combo->currentIndex());
  if (const auto* box = widget->findChild<QCheckBox*>(kScaleRangeName))
    options.insert(QLatin1String(kOptionScaleRange), box->isChecked());
}

}  // namespace ur::tiff
