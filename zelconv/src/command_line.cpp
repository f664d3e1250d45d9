#include "command_line.h"

#include <QStringList>

#include <cstddef>

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
              Text("[optional] Also shows the plug-ins loaded and the time each step took.")) {}

void SetUpParser(QCommandLineParser& parser, const ConvertorOptions& options) {
  parser.setApplicationDescription(
      Text("ZEL Convertor\n\n"
           "What -r gives back exactly: a grey input (-b none) with at most 256 levels; with more "
           "levels each sample comes back as a nearby level the image holds. A mosaic converted "
           "with -a id keeps every site's value when each colour channel, interpolated values "
           "included, holds at most 256 levels; -a sd averages the greens and halves the size, so "
           "it is not exact."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.input);
  parser.addOption(options.output);
  parser.addOption(options.bayerGrid);
  parser.addOption(options.algorithm);
  parser.addOption(options.reverse);
  parser.addOption(options.verbose);
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

}  // namespace urs::zel
