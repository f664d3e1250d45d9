#include <ur/gui_helper.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace ur {

namespace {

constexpr double kReferenceDpi = 96.0;
constexpr double kDisabledOpacity = 0.45;

QScreen* PrimaryScreen() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
             ? QGuiApplication::primaryScreen()
             : nullptr;
}

double DevicePixelRatio() {
  const QScreen* screen = PrimaryScreen();
  return screen ? screen->devicePixelRatio() : 1.0;
}

int Scaled(int logical, double scale) { return std::max(1, int(std::lround(logical * scale))); }

}  // namespace

double CxGuiHelper::dpiScaleFactor() {
  const QScreen* screen = PrimaryScreen();
  if (!screen) return 1.0;
  // Screens report odd DPIs (100 on some virtual displays): keep to the quarter steps that
  // desktops offer, so that a near-96 screen draws the artwork 1:1.
  const double factor = std::round(screen->logicalDotsPerInch() / kReferenceDpi * 4.0) / 4.0;
  return factor > 0.0 ? factor : 1.0;
}

QString CxGuiHelper::doubleResolutionPath(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix();
  const QString base = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
  return suffix.isEmpty() ? base + QStringLiteral("_2x")
                          : base + QStringLiteral("_2x.") + suffix;
}

QPixmap CxGuiHelper::scaledPixmap(const QString& path, int w, int h, bool keepAspectRatio,
                                  double deviceScale, double devicePixelRatio) {
  if (w <= 0 || h <= 0 || deviceScale <= 0.0 || devicePixelRatio <= 0.0) return QPixmap();
  const QSize target(Scaled(w, deviceScale), Scaled(h, deviceScale));
  QImage image;
  const QString doubled = doubleResolutionPath(path);
  // The plain file is drawn for 1:1; anything larger is drawn from the double-size artwork.
  if (deviceScale > 1.0 && QFileInfo::exists(doubled)) image.load(doubled);
  if (image.isNull()) image.load(path);
  if (image.isNull()) return QPixmap();
  if (image.size() != target)
    image = image.scaled(target, keepAspectRatio ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setDevicePixelRatio(devicePixelRatio);
  return pixmap;
}

QPixmap CxGuiHelper::dpiScaledPixmap(const QString& path, int w, int h, bool keepAspectRatio) {
  const double ratio = DevicePixelRatio();
  return scaledPixmap(path, w, h, keepAspectRatio, dpiScaleFactor() * ratio, ratio);
}

QPixmap CxGuiHelper::disabledPixmap(const QPixmap& pixmap) {
  if (pixmap.isNull()) return pixmap;
  QImage grey = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      const int g = qGray(row[x]);
      row[x] = qRgba(g, g, g, int(qAlpha(row[x]) * kDisabledOpacity));
    }
  }
  QPixmap result = QPixmap::fromImage(grey);
  result.setDevicePixelRatio(pixmap.devicePixelRatio());
  return result;
}

QIcon CxGuiHelper::dpiScaledIconWithDisState(const QString& path, int w, int h,
                                             bool keepAspectRatio) {
  const QPixmap normal = dpiScaledPixmap(path, w, h, keepAspectRatio);
  QIcon icon;
  if (normal.isNull()) return icon;
  icon.addPixmap(normal, QIcon::Normal);
  icon.addPixmap(disabledPixmap(normal), QIcon::Disabled);
  return icon;
}

}  // namespace ur
