#pragma once
// Running zelconv as a separate process, and the image files its tests write and read.

#include <ur/buffers.h>
#include <ur/image_buf.h>

#include <zel_testing/png_maker.h>  // EncodePng, WriteBytes

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace zel::testing {

// What one run of the program left behind.
struct ZelconvRun {
  bool finished = false;  // ended by itself within the time allowed, without crashing
  int exitCode = -1;
  QString out;          // standard output, up to a NUL character
  QByteArray outBytes;  // standard output as written
  QString err;          // standard error
  // True when standard error has line exactly as one of its lines.
  bool saidLine(const QString& line) const;
};

// Runs zelconv with arguments and waits for it to end.
ZelconvRun RunZelconv(const QStringList& arguments);

// Runs "sh -c script" with $ZELCONV naming the program under test, and waits for it to end.
ZelconvRun RunShell(const QString& script);

// The sorted paths, relative to root, of the files below it (hidden ones included).
QStringList FilesBelow(const QString& root);

// Runs "zelconv -r -i zel -o restoredFile" and reads what it restored, top row first; no pixels
// (and a test failure naming zelconv's messages) when it did not report success.
ur::ScopedImageBuf RestoreThroughZelconv(const QString& zel, const QString& restoredFile);

// Writes buf (top row first) through the format manager; false when it cannot.
bool WriteImage(const QString& path, const ur::SxImageBuf& buf);

// Reads an image file through the format manager, top row first; no pixels when it cannot.
ur::ScopedImageBuf ReadImage(const QString& path);

// The whole content of a file; empty when it cannot be read.
QByteArray FileBytes(const QString& path);

// n distinct levels spread evenly over 0..top, the lowest 0 and the highest top.
std::vector<int> SpreadLevels(int n, int top);

// count samples drawn from levels in a fixed pseudo-random order; every level occurs at least
// once when count >= levels.size().
std::vector<int> ShuffledSamples(const std::vector<int>& levels, std::size_t count,
                                 std::uint32_t seed);

// The rank of level among the sorted distinct levels, or -1 when it is not one of them.
int RankOf(const std::vector<int>& levels, int level);

// A one-channel image of width x height holding samples row by row (8-bit samples when
// bitDepth is 8, else 16-bit with that bit depth).
ur::ScopedImageBuf MakeGreyImage(int width, int height, int bitDepth,
                                 const std::vector<int>& samples);

// Sample (x, y) of a one-channel 8- or 16-bit image, top row first.
int GreyAt(const ur::SxImageBuf& image, int x, int y);

// Adds a test failure for each of the first ten samples of the one-channel image that differ
// from samples (row by row, the image's width); grid, when given, names the colour of each 2x2
// site ("RGGB") in the message.
void ExpectSamples(const ur::SxImageBuf& image, const std::vector<int>& samples,
                   const char* grid = nullptr);

}  // namespace zel::testing
