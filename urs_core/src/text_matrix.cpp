// Text matrices: one image row per line, read as doubles. Values are separated by commas, blanks
// or tabs, so that both comma-separated files and the column output of scientific tools read.

#include <urs/image_loader.h>

#include <ur/buffers.h>
#include <ur/result.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QStringView>
#include <QTextStream>

#include <cstdint>
#include <cstring>
#include <vector>

namespace urs {

namespace {

// Far beyond any matrix kept as text (8192 x 8192 values), and 512 MiB of doubles.
constexpr std::int64_t kMaxValues = std::int64_t(1) << 26;
// A line longer than this cannot hold a row of at most kMaxValues sensible values; it is refused
// before it is read whole.
constexpr qint64 kMaxLineChars = qint64(1) << 28;

QString Tr(const char* text) { return QCoreApplication::translate("urs::FileImageLoader", text); }

// Failure leaves the image without pixels and says why.
bool Fail(ur::SxImageBuf& image, QString* reason, const QString& why) {
  ur::FreeBuffer(image);
  if (reason) *reason = why;
  return false;
}

bool IsBlank(QChar c) { return c.isSpace(); }
bool IsSeparator(QChar c) { return c == QLatin1Char(',') || IsBlank(c); }

qsizetype SkipBlanks(QStringView line, qsizetype i) {
  while (i < line.size() && IsBlank(line[i])) ++i;
  return i;
}

// The values of a line. A run of blanks and tabs is one separator, and so is a comma with blanks
// around it; blanks at either end of the line separate nothing. Two commas with nothing between
// them (or a comma at either end) enclose an empty value. A blank line has no values.
void SplitValues(QStringView line, std::vector<QStringView>& values) {
  values.clear();
  qsizetype i = SkipBlanks(line, 0);
  if (i == line.size()) return;
  for (;;) {
    const qsizetype start = i;
    while (i < line.size() && !IsSeparator(line[i])) ++i;
    values.push_back(line.mid(start, i - start));
    i = SkipBlanks(line, i);
    if (i < line.size() && line[i] == QLatin1Char(',')) {
      i = SkipBlanks(line, i + 1);
      if (i == line.size()) {
        values.push_back(QStringView());  // a trailing comma ends with an empty value
        return;
      }
    } else if (i == line.size()) {
      return;
    }
  }
}

}  // namespace

bool LoadTextMatrix(const QString& path, ur::SxImageBuf& image, QString* reason) {
  QFile file(path);
  // No text-mode flag: the stream itself handles both line ends.
  if (!file.open(QIODevice::ReadOnly)) return Fail(image, reason, Tr("the file cannot be read"));
  QTextStream stream(&file);
  const QLocale c = QLocale::c();

  std::vector<double> samples;
  std::vector<QStringView> values;
  qsizetype width = 0;
  std::int64_t height = 0;
  std::int64_t lineNumber = 0;
  std::int64_t blankLine = 0;  // a blank line is an error only when values follow it
  QString line;
  while (stream.readLineInto(&line, kMaxLineChars + 1)) {
    ++lineNumber;
    if (line.size() > kMaxLineChars)
      return Fail(image, reason, Tr("line %1 is too long").arg(lineNumber));
    SplitValues(line, values);
    if (values.empty()) {
      if (blankLine == 0) blankLine = lineNumber;
      continue;
    }
    if (blankLine != 0)
      return Fail(image, reason, Tr("line %1 holds no values").arg(blankLine));
    if (height == 0) width = qsizetype(values.size());
    if (qsizetype(values.size()) != width)
      return Fail(image, reason,
                  Tr("line %1 holds %2 values where line 1 holds %3")
                      .arg(lineNumber)
                      .arg(values.size())
                      .arg(width));
    if (std::int64_t(samples.size()) + width > kMaxValues)
      return Fail(image, reason, Tr("more than %1 values").arg(kMaxValues));
    for (qsizetype x = 0; x < width; ++x) {
      const QStringView text = values[std::size_t(x)];
      bool ok = text.isEmpty();
      const double value = ok ? 0.0 : c.toDouble(text, &ok);
      if (!ok)
        return Fail(image, reason,
                    Tr("line %1, column %2: \"%3\" is not a number")
                        .arg(lineNumber)
                        .arg(x + 1)
                        .arg(text.left(40).toString()));
      samples.push_back(value);
    }
    ++height;
  }
  if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
    return Fail(image, reason, Tr("the file cannot be read"));
  if (height == 0) return Fail(image, reason, Tr("the file holds no values"));

  // Both are bounded by kMaxValues, so they fit the buffer's int fields and its line pitch.
  ur::ScopedImageBuf pixels;
  if (ur::Failed(ur::AllocBuffer(pixels.get(), int(width), int(height), 1, 64,
                                 ur::eImageDataDouble)))
    return Fail(image, reason, Tr("not enough memory for %1 x %2 values").arg(width).arg(height));
  for (int y = 0; y < int(height); ++y)
    std::memcpy(ur::RowPtr(pixels.get(), y), samples.data() + std::size_t(y) * width,
                std::size_t(width) * sizeof(double));
  image = pixels.release();
  return true;
}

}  // namespace urs
