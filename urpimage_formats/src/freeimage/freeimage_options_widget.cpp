#include "freeimage/freeimage_options_widget.h"

#include "freeimage/freeimage_formats.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QWidget>

namespace ur::freeimage {

namespace {

const QString kCompressionCombo = QStringLiteral("cbCompr");
const QString k16BitCheck = QStringLiteral("chk16BitData");
const QString kScaleRangeCheck = QStringLiteral("chkScaleRange16");
const QString kQualitySlider = QStringLiteral("slQuality");
const QString kQualityValueLabel = QStringLiteral("lblQualityValue");

constexpr int kQualityLabelMaxWidth = 50;
constexpr int kQualityValueMaxWidth = 30;
constexpr int kQualityTickInterval = 10;

// The speed hint of the uncompressed item is "fast" here; the word "slow" is kept in the
// catalogue for the compressed items, as the original form prepared it.
[[maybe_unused]] constexpr const char* kSlowHint =
    QT_TRANSLATE_NOOP("ur::CxFreeImageSaver", "slow");

QWidget* CreatePngWidget(const SaveOptions& options, QWidget* parent) {
  auto* widget = new QWidget(parent);
  auto* layout = new QHBoxLayout(widget);
  auto* check = new QCheckBox(
      QCoreApplication::translate("ur::CxFreeImageSaver", "Enable storing 16-bit data"), widget);
  check->setObjectName(k16BitCheck);
  check->setChecked(options.value(kOptionData16Bit, kDefaultData16Bit).toBool());
  layout->addWidget(check);
  return widget;
}

QWidget* CreateTiffWidget(const SaveOptions& options, QWidget* parent) {
  auto* widget = new QWidget(parent);
  auto* grid = new QGridLayout(widget);

  grid->addWidget(
      new QLabel(QCoreApplication::translate("ur::CxFreeImageSaver", "Compression:"), widget), 0,
      0);
  auto* combo = new QComboBox(widget);
  combo->setObjectName(kCompressionCombo);
  combo->addItem(QCoreApplication::translate("ur::CxFreeImageSaver", "LZW"));
  combo->addItem(QCoreApplication::translate("ur::CxFreeImageSaver", "Packbits"));
  combo->addItem(QCoreApplication::translate("ur::CxFreeImageSaver", "Uncompressed") +
                 QCoreApplication::translate("ur::CxFreeImageSaver", " (%1)")
                     .arg(QCoreApplication::translate("ur::CxFreeImageSaver", "fast")));
  const int compression = options.value(kOptionCompression, kDefaultCompression).toInt();
  combo->setCurrentIndex(compression >= 0 && compression < combo->count() ? compression
                                                                          : kDefaultCompression);
  grid->addWidget(combo, 0, 1);

  auto* check16 = new QCheckBox(
      QCoreApplication::translate("ur::CxFreeImageSaver", "Enable storing 16-bit data"), widget);
  check16->setObjectName(k16BitCheck);
  check16->setChecked(options.value(kOptionData16Bit, kDefaultData16Bit).toBool());
  grid->addWidget(check16, 1, 0, 1, 2);

  auto* scale =
      new QCheckBox(QCoreApplication::translate("ur::CxFreeImageSaver",
                                                "Scale the color bit depth to a full 16-bit range"),
                    widget);
  scale->setObjectName(kScaleRangeCheck);
  scale->setToolTip(QCoreApplication::translate(
      "ur::CxFreeImageSaver",
      "If the image has its color bit depth (bits per channel) greater than 8bitsthen the color "
      "range will be scaled to full 16bit range (e.g. 10bit image \nwill be scaled to 16bit "
      "image).\nThis option is NOT valid for 8bit images."));
  scale->setChecked(options.value(kOptionScaleRange, kDefaultScaleRange).toBool());
  scale->setEnabled(check16->isChecked());
  grid->addWidget(scale, 2, 0, 1, 2);
  QObject::connect(check16, &QCheckBox::clicked, scale, &QWidget::setEnabled);
  return widget;
}

QWidget* CreateJpegWidget(const SaveOptions& options, QWidget* parent) {
  auto* widget = new QWidget(parent);
  auto* layout = new QHBoxLayout(widget);

  auto* label = new QLabel(QCoreApplication::translate("ur::CxFreeImageSaver", "Quality:"), widget);
  label->setMaximumWidth(kQualityLabelMaxWidth);
  layout->addWidget(label);

  auto* slider = new QSlider(Qt::Horizontal, widget);
  slider->setObjectName(kQualitySlider);
  slider->setRange(kMinQuality, kMaxQuality);
  slider->setTickInterval(kQualityTickInterval);
  slider->setTickPosition(QSlider::NoTicks);
  layout->addWidget(slider);

  auto* value = new QLabel(widget);
  value->setObjectName(kQualityValueLabel);
  value->setMaximumWidth(kQualityValueMaxWidth);
  layout->addWidget(value);
  QObject::connect(slider, &QSlider::valueChanged, value,
                   [value](int quality) { value->setText(QStringLiteral("%1").arg(quality)); });

  slider->setValue(options.value(kOptionQuality, kDefaultQuality).toInt());
  value->setText(QStringLiteral("%1").arg(slider->value()));
  return widget;
}

}  // namespace

QWidget* CreateOptionsWidget(const QString& suffix, const SaveOptions& options, QWidget* parent) {
  const QString key = suffix.trimmed().toLower();
  if (key == QLatin1String("png")) return CreatePngWidget(options, parent);
  if (key == QLatin1String("tif") || key == QLatin1String("tiff"))
    return CreateTiffWidget(options, parent);
  if (key == QLatin1String("jpg") || key == QLatin1String("jpeg"))
    return CreateJpegWidget(options, parent);
  return nullptr;
}

SaveOptions ReadOptionsWidget(const QWidget* widget, SaveOptions options) {
  if (!widget) return options;
  if (const auto* check16 = widget->findChild<QCheckBox*>(k16BitCheck))
    options.insert(kOptionData16Bit, check16->isChecked());
  if (const auto* combo = widget->findChild<QComboBox*>(kCompressionCombo))
    options.insert(kOptionCompression, combo->currentIndex());
  if (const auto* scale = widget->findChild<QCheckBox*>(kScaleRangeCheck))
    options.insert(kOptionScaleRange, scale->isChecked());
  if (const auto* slider = widget->findChild<QSlider*>(kQualitySlider))
    options.insert(kOptionQuality, slider->value());
  return options;
}

}  // namespace ur::freeimage
