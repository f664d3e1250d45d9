#pragma once
// The options of the console converter and the values they accept.

#include <ur/image_buf.h>
#include <zel/types.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

namespace urs::zel {

// The converter's own options; the parser adds its help and version options.
struct ConvertorOptions {
  ConvertorOptions();

  QCommandLineOption input;          // -i: the image to convert
  QCommandLineOption output;         // -o: the file to write
  QCommandLineOption bayerGrid;      // -b: the grid of a mosaic input
  QCommandLineOption algorithm;      // -a: how a mosaic is demosaiced
  QCommandLineOption reverse;        // -r: restore the raw image of a ZEL image instead
  QCommandLineOption verbose;        // --verbose: also the plug-ins loaded and the step timings
  QCommandLineOption dir;            // -d: convert (or with -r restore) a whole directory
  QCommandLineOption subfolders;     // --subfolders: and every directory below it
  QCommandLineOption skipConverted;  // --skip-converted: leave inputs whose output exists
  QCommandLineOption bits;           // --bits: the bit depth of the input data
  QCommandLineOption autoBits;       // --auto-bits: the bit depth found in each directory
  QCommandLineOption raw;            // --raw: mosaics compacted as four planes
  QCommandLineOption debayer;        // --debayer: with --raw, demosaiced after compaction
  QCommandLineOption together;       // --together: one normalisation for every channel
  QCommandLineOption crop;           // --crop: columns and rows cut from the borders
  QCommandLineOption threshold;      // --threshold: levels treated as under- or over-exposed
  QCommandLineOption listJobs;       // --list-jobs: the directories -d would convert
  QCommandLineOption nulSeparated;   // -0: --list-jobs ends each directory with NUL
  QCommandLineOption protocolFile;   // --protocol: also save a directory run's protocol
  QCommandLineOption quiet;          // --quiet: a directory run shows only its failures
  QCommandLineOption verify;         // --verify: each written ZEL image restored and compared
};

// The margins --crop cuts from an image, in pixels.
struct CropMargins {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// Threshold pairs of red (or mono), green and blue; -1 disables a side.
struct ThresholdPairs {
  int low[3] = {-1, -1, -1};
  int high[3] = {-1, -1, -1};
};

// Gives parser its description, the help and version options and the converter's options, in
// the order the help text lists them.
void SetUpParser(QCommandLineParser& parser, const ConvertorOptions& options);

// The grid a -b value names, compared without regard to case; an empty value means no grid.
// False for any other word.
bool BayerGridFromOption(const QString& value, ur::ExBayerGrid& grid);

// The algorithm an -a value names, compared without regard to case. False for any other word.
bool AlgorithmFromOption(const QString& value, DemosaicAlgorithm& algorithm);

// A --bits value: a whole number 1..16.
bool BitsFromOption(const QString& value, int& bits);

// A --crop value "L,T,R,B" of four whole numbers, none negative.
bool CropFromOption(const QString& value, CropMargins& margins);

// A --threshold value: one pair "LOW:HIGH" (red or mono) or three separated by commas (red,
// green, blue). Each side is a level 0..65535, or empty for no limit on that side; a low side
// must lie below its high side.
bool ThresholdsFromOption(const QString& value, ThresholdPairs& pairs);

}  // namespace urs::zel
