// Comma-separated text matrices: one image row per line, read as doubles.

#include <urs/image_loader.h>

#include <ur/buffers.h>
#include <ur/result.h>

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QStringView>
#include <QTextStream>

namespace urs {

namespace {

constexpr QChar kSeparator = QLatin1Char(',');

// Fields of a line, split at every comma, empty fields kept.
int FieldCount(const QString& line) { return line.count(kSeparator) + 1; }

// Failure leaves the image without pixels.
bool Fail(ur::SxImageBuf& image) {
  ur::FreeBuffer(image);
  return false;
}

// Stores the fields of the line as doubles; a field that is not a number (empty ones too)
// reads 0. The caller has checked the field count.
void ParseRow(QStringView line, double* row) {
  const QLocale c = QLocale::c();
  qsizetype start = 0;
  for (;;) {
    const qsizetype end = line.indexOf(kSeparator, start);
    const QStringView field = line.mid(start, end < 0 ? -1 : end - start).trimmed();
    bool ok = false;
    const double value = c.toDouble(field, &ok);
    *row++ = ok ? value : 0.0;
    if (end < 0) return;
    start = end + 1;
  }
}

}  // namespace

bool LoadTextMatrix(const QString& path, ur::SxImageBuf& image) {
  QFile file(path);
  // No text-mode flag: the stream itself handles both line ends.
  if (!file.open(QIODevice::ReadOnly)) return Fail(image);
  QStringList lines;
  QTextStream stream(&file);
  while (!stream.atEnd()) lines.append(stream.readLine());
  file.close();
  if (lines.isEmpty()) return Fail(image);

  const int width = FieldCount(lines.first());
  ur::ScopedImageBuf pixels;
  if (ur::Failed(ur::AllocBuffer(pixels.get(), width, lines.size(), 1, 64, ur::eImageDataDouble)))
    return Fail(image);
  for (int y = 0; y < lines.size(); ++y) {
    if (FieldCount(lines[y]) != width) return Fail(image);
    ParseRow(lines[y], reinterpret_cast<double*>(ur::RowPtr(pixels.get(), y)));
  }
  image = pixels.release();
  return true;
}

}  // namespace urs
