// Paints the program's icons into PNG files at build time, each at its plain size and as a
// "_2x" companion drawn at twice the resolution (not scaled up), so that both stay sharp.
// Usage: zel_icon_generator <output folder>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

using Painter = std::function<void(QPainter&, double w, double h)>;

const QColor kRed(0xd6, 0x3b, 0x3b);
const QColor kGreen(0x3f, 0xa3, 0x4d);
const QColor kBlue(0x35, 0x6f, 0xd0);
const QColor kOutline(0x3a, 0x40, 0x48);

void WindowIcon(QPainter& p, double w, double h) {
  const QRectF box(w * 0.04, h * 0.04, w * 0.92, h * 0.92);
  QLinearGradient fill(box.topLeft(), box.bottomRight());
  fill.setColorAt(0, QColor(0x4f, 0x86, 0xc6));
  fill.setColorAt(1, QColor(0x2a, 0x4f, 0x86));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(box, w * 0.18, h * 0.18);
  // A "Z" of three level bars: many levels folded into few.
  const double t = h * 0.13;
  QPainterPath z;
  z.moveTo(w * 0.24, h * 0.22);
  z.lineTo(w * 0.76, h * 0.22);
  z.lineTo(w * 0.76, h * 0.22 + t);
  z.lineTo(w * 0.24 + t * 1.4, h * 0.78 - t);
  z.lineTo(w * 0.76, h * 0.78 - t);
  z.lineTo(w * 0.76, h * 0.78);
  z.lineTo(w * 0.24, h * 0.78);
  z.lineTo(w * 0.24, h * 0.78 - t);
  z.lineTo(w * 0.76 - t * 1.4, h * 0.22 + t);
  z.lineTo(w * 0.24, h * 0.22 + t);
  z.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(z);
}

void Play(QPainter& p, double w, double h) {
  const double s = h * 0.8;
  const double x = (w - s * 0.87) / 2.0;
  const double y = (h - s) / 2.0;
  QPainterPath triangle;
  triangle.moveTo(x, y);
  triangle.lineTo(x + s * 0.87, y + s / 2.0);
  triangle.lineTo(x, y + s);
  triangle.closeSubpath();
  p.setPen(QPen(kGreen.darker(130), h / 18.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kGreen);
  p.drawPath(triangle);
}

void Stop(QPainter& p, double w, double h) {
  const double s = h * 0.72;
  const QRectF square((w - s) / 2.0, (h - s) / 2.0, s, s);
  p.setPen(QPen(kRed.darker(130), h / 18.0));
  p.setBrush(kRed);
  p.drawRoundedRect(square, s * 0.15, s * 0.15);
}

// The 2x2 cell of a Bayer grid, colours read row by row.
Painter Grid(QColor a, QColor b, QColor c, QColor d) {
  return [=](QPainter& p, double w, double h) {
    const double m = w / 16.0;
    const double cw = (w - 2 * m) / 2.0;
    const double ch = (h - 2 * m) / 2.0;
    const QColor cells[4] = {a, b, c, d};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
      p.setBrush(cells[i]);
      p.drawRect(QRectF(m + (i % 2) * cw, m + (i / 2) * ch, cw, ch));
    }
    p.setPen(QPen(kOutline, w / 16.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(m, m, w - 2 * m, h - 2 * m));
  };
}

// A frame with the cropped side drawn as a thick bar; none shows the frame alone.
Painter Crop(Qt::Edge edge, bool any) {
  return [=](QPainter& p, double w, double h) {
    const double m = w / 8.0;
    const QRectF frame(m, m, w - 2 * m, h - 2 * m);
    p.setPen(QPen(kOutline, w / 16.0));
    p.setBrush(QColor(0xf4, 0xf6, 0xf9));
    p.drawRect(frame);
    if (!any) return;
    const double t = w / 5.0;
    QRectF bar;
    switch (edge) {
      case Qt::TopEdge: bar = QRectF(frame.left(), frame.top(), frame.width(), t); break;
      case Qt::BottomEdge: bar = QRectF(frame.left(), frame.bottom() - t, frame.width(), t); break;
      case Qt::LeftEdge: bar = QRectF(frame.left(), frame.top(), t, frame.height()); break;
      case Qt::RightEdge: bar = QRectF(frame.right() - t, frame.top(), t, frame.height()); break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRect(bar);
  };
}

bool Write(const QString& dir, const QString& name, int w, int h, const Painter& paint) {
  for (int scale : {1, 2}) {
    QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      paint(p, image.width(), image.height());
    }
    const QString file = dir + QLatin1Char('/') + name + (scale == 2 ? "_2x.png" : ".png");
    if (!image.save(file, "PNG")) {
      std::fprintf(stderr, "zel_icon_generator: cannot write %s\n", qPrintable(file));
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zel_icon_generator <output folder>\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "zel_icon_generator: cannot create %s\n", argv[1]);
    return 1;
  }
  const QColor grey1(0x5a, 0x5a, 0x5a), grey2(0xb4, 0xb4, 0xb4);
  bool ok = Write(dir, "zel", 48, 48, WindowIcon);
  ok = Write(dir, "play", 24, 18, Play) && ok;
  ok = Write(dir, "stop", 24, 18, Stop) && ok;
  ok = Write(dir, "RGGB", 16, 16, Grid(kRed, kGreen, kGreen, kBlue)) && ok;
  ok = Write(dir, "BGGR", 16, 16, Grid(kBlue, kGreen, kGreen, kRed)) && ok;
  ok = Write(dir, "GRBG", 16, 16, Grid(kGreen, kRed, kBlue, kGreen)) && ok;
  ok = Write(dir, "GBRG", 16, 16, Grid(kGreen, kBlue, kRed, kGreen)) && ok;
  ok = Write(dir, "MONO", 16, 16, Grid(grey1, grey2, grey2, grey1)) && ok;
  ok = Write(dir, "none", 16, 16, Crop(Qt::TopEdge, false)) && ok;
  ok = Write(dir, "top", 16, 16, Crop(Qt::TopEdge, true)) && ok;
  ok = Write(dir, "bottom", 16, 16, Crop(Qt::BottomEdge, true)) && ok;
  ok = Write(dir, "left", 16, 16, Crop(Qt::LeftEdge, true)) && ok;
  ok = Write(dir, "right", 16, 16, Crop(Qt::RightEdge, true)) && ok;
  return ok ? 0 : 1;
}
