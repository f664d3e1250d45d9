#include "command_line.h"

#include <QStringList>

#include <cstddef>
#include <limits>

namespace urs::zel {

namespace {

struct GridWord {
  const char* word;
  ur::ExBayerGrid grid;
};

// The empty word stands for a -b given without a grid.
constexpr GridWord kGridWords[] = {
    {"", ur::eBayerNone},     {"none", ur::eBayerNone}, {"bggr", ur::eBayerBGGR},
    {"rggb", ur::eBayerRGGB}, {"gbrg", ur::eBayerGBRG}, {"grbg", ur::eBayerGRBG},
};

struct AlgorithmWord {
  const char* word;
  DemosaicAlgorithm algorithm;
};

constexpr AlgorithmWord kAlgorithmWords[] = {
    {"sd", Simple},
    {"id", Averaging},
};

QString Text(const char* text) { return QString::fromLatin1(text); }

}  // namespace

ConvertorOptions::ConvertorOptions()
    : input(QStringList{Text("i")}, Text("[required] The input file name."), Text("InputFile")),
      output(QStringList{Text("o")},
             Text("[required] The output file name. A ZEL image is a PNG file (.zel.png); with -r "
                  "it is the restored image."),
             Text("OutputFile")),
      bayerGrid(QStringList{Text("b")},
                Text("[optional] Bayer's grid type: [none, bggr, rggb, gbrg, grbg], default: none"),
                Text("ExBayerGrid"), Text("none")),
      algorithm(QStringList{Text("a")},
                Text("[optional] Demosaicing algorithm: [sd, id], default: sd.\n"
                     "sd - Simple demosaicing: one pixel per 2x2 cell, so the output image has "
                     "half the width and height of the input. It is very fast, but it averages "
                     "the two greens of a cell, so the mosaic does not come back exactly.\n"
                     "id - Demosaicing with interpolation, which keeps the image resolution and "
                     "every site's own value: the mosaic comes back exactly when each colour "
                     "channel, interpolated values included, holds at most 256 levels (always so "
                     "for 8-bit mosaics).\n"),
                Text("Algorithm"), Text("sd")),
      reverse(QStringList{Text("r"), Text("reverse")},
              Text("[optional] Restores the raw image of the ZEL image given with -i into the "
                   "output file, whose suffix chooses a lossless format: .tif, .tiff, .png or "
                   ".pgm. -b and -a are ignored.")),
      verbose(QStringList{Text("verbose")},
              Text("[optional] Also shows the plug-ins loaded and the time each step took.")),
      dir(QStringList{Text("d"), Text("dir")},
          Text("[optional] Converts every input image of the directory (png, dng, mat, txt, tif, "
               "tiff, fit, fits, fts) into its subdirectory ZEL, with one level analysis for the "
               "directory; "
               "replaces -i and -o. With -r: restores every *.zel.png of the directory into the "
               "directory given with -o."),
          Text("Directory")),
      subfolders(QStringList{Text("subfolders")},
                 Text("[optional] With -d or --list-jobs: every directory below as well.")),
      skipConverted(QStringList{Text("skip-converted")},
                    Text("[optional] With -d: leaves inputs whose ZEL image exists.")),
      bits(QStringList{Text("bits")},
           Text("[optional] With -d or --raw: the bit depth of the input data, 1..16. Default: "
                "the deepest image of each directory (--auto-bits)."),
           Text("N")),
      autoBits(QStringList{Text("auto-bits")},
               Text("[optional] With -d or --raw: the bit depth of the deepest image, found in "
                    "each directory on its own (the default).")),
      raw(QStringList{Text("raw")},
          Text("[optional] Mosaics through the raw path: the four planes compacted one by one "
               "(ZEL type 1). Exact: each plane that holds at most 255 levels comes back exactly "
               "with -r. With -i the grid is the DNG's own or -b; with -d give -b.")),
      debayer(QStringList{Text("debayer")},
              Text("[optional] With --raw: demosaics the compacted mosaic (-a) before saving; "
                   "with -a sd the greens are averaged, so it is not exact.")),
      together(QStringList{Text("together")},
               Text("[optional] With -d or --raw: one normalisation for all channels instead of "
                    "one per channel.")),
      crop(QStringList{Text("crop")},
           Text("[optional] With -d or --raw: columns and rows cut from the left, top, right and "
                "bottom border."),
           Text("L,T,R,B")),
      threshold(QStringList{Text("threshold")},
                Text("[optional] With -d or --raw: levels at or below LOW and at or above HIGH "
                     "count as under- and over-exposed and are repaired; one pair (red or mono) "
                     "or three (red, green, blue); an empty side sets no limit."),
                Text("LOW:HIGH[,LOW:HIGH,LOW:HIGH]")),
      listJobs(QStringList{Text("list-jobs")},
               Text("[optional] Prints the directories that -d would convert, one per line, for "
                    "a scheduler to run zelconv -d on each (with --subfolders: the whole tree)."),
               Text("Directory")),
      nulSeparated(QStringList{Text("0")},
                   Text("[optional] With --list-jobs: ends each directory with a NUL character "
                        "instead of a line break.")),
      protocolFile(QStringList{Text("protocol")},
                   Text("[optional] With -d: also saves the run's protocol, one time-stamped "
                        "line each, into the file."),
                   Text("File")),
      quiet(QStringList{Text("quiet")},
            Text("[optional] With -d: shows only the lines that report a failure, and the "
                 "closing counts when anything failed. Without it, a terminal shows a live "
                 "progress line below the protocol.")),
      verify(QStringList{Text("verify")},
             Text("[optional] Reads each ZEL image written back, restores it in memory and "
                  "compares it with its source: exact, or the largest difference. A difference "
                  "where an exact round trip was promised counts as a failure. With -d "
                  "--skip-converted, the ZEL images already there are checked too.")) {}

void SetUpParser(QCommandLineParser& parser, const ConvertorOptions& options) {
  parser.setApplicationDescription(
      Text("ZEL Convertor\n\n"
           "What -r gives back exactly: a grey input (-b none) with at most 256 levels; with more "
           "levels each sample comes back as a nearby level the image holds. A mosaic converted "
           "with -a id keeps every site's value when each colour channel, interpolated values "
           "included, holds at most 256 levels; -a sd averages the greens and halves the size, so "
           "it is not exact. --raw stores each plane of a mosaic exactly when it holds at most 255 "
           "levels; --debayer -a sd and --threshold give up exactness."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.input);
  parser.addOption(options.output);
  parser.addOption(options.bayerGrid);
  parser.addOption(options.algorithm);
  parser.addOption(options.reverse);
  parser.addOption(options.verbose);
  for (const QCommandLineOption* option :
       {&options.dir, &options.subfolders, &options.skipConverted, &options.bits,
        &options.autoBits, &options.raw, &options.debayer, &options.together, &options.crop,
        &options.threshold, &options.listJobs, &options.nulSeparated, &options.protocolFile,
        &options.quiet, &options.verify})
    parser.addOption(*option);
}

namespace {

// Finds value, lower-cased, among the words of table and gives the word's meaning.
template <typename Entry, std::size_t N, typename Meaning>
bool LookUpWord(const Entry (&table)[N], const QString& value, Meaning Entry::*meaning,
                Meaning& result) {
  const QString word = value.toLower();
  for (const Entry& entry : table) {
    if (word == QLatin1String(entry.word)) {
      result = entry.*meaning;
      return true;
    }
  }
  return false;
}

}  // namespace

bool BayerGridFromOption(const QString& value, ur::ExBayerGrid& grid) {
  return LookUpWord(kGridWords, value, &GridWord::grid, grid);
}

bool AlgorithmFromOption(const QString& value, DemosaicAlgorithm& algorithm) {
  return LookUpWord(kAlgorithmWords, value, &AlgorithmWord::algorithm, algorithm);
}

namespace {

constexpr int kMaxBits = 16;
constexpr int kMaxLevel = 65535;
constexpr int kNoLimit = -1;

bool WholeNumber(const QString& text, int lowest, int highest, int& number) {
  bool ok = false;
  number = text.trimmed().toInt(&ok);
  return ok && number >= lowest && number <= highest;
}

bool SideFromText(const QString& text, int& level) {
  if (text.trimmed().isEmpty()) {
    level = kNoLimit;
    return true;
  }
  return WholeNumber(text, 0, kMaxLevel, level);
}

}  // namespace

bool BitsFromOption(const QString& value, int& bits) {
  return WholeNumber(value, 1, kMaxBits, bits);
}

bool CropFromOption(const QString& value, CropMargins& margins) {
  const QStringList parts = value.split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  int* const fields[] = {&margins.left, &margins.top, &margins.right, &margins.bottom};
  for (int i = 0; i < 4; ++i)
    if (!WholeNumber(parts[i], 0, std::numeric_limits<int>::max(), *fields[i])) return false;
  return true;
}

bool ThresholdsFromOption(const QString& value, ThresholdPairs& pairs) {
  const QStringList parts = value.split(QLatin1Char(','));
  if (parts.size() != 1 && parts.size() != 3) return false;
  ThresholdPairs read;
  for (int i = 0; i < parts.size(); ++i) {
    const QStringList sides = parts[i].split(QLatin1Char(':'));
    if (sides.size() != 2 || !SideFromText(sides[0], read.low[i]) ||
        !SideFromText(sides[1], read.high[i]))
      return false;
    if (read.low[i] != kNoLimit && read.high[i] != kNoLimit && read.low[i] >= read.high[i])
      return false;
  }
  pairs = read;
  return true;
}

}  // namespace urs::zel
