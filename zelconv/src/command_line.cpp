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

// "ahd" is listed in the help but has no implementation, so it is refused like any other word.
constexpr AlgorithmWord kAlgorithmWords[] = {
    {"sd", Simple},
    {"id", Averaging},
};

QString Text(const char* text) { return QString::fromLatin1(text); }

}  // namespace

ConvertorOptions::ConvertorOptions()
    : input(QStringList{Text("i")}, Text("[required] The input file name."), Text("InputFile")),
      output(QStringList{Text("o")}, Text("[required] The output file name."), Text("OutputFile")),
      bayerGrid(QStringList{Text("b")},
                Text("[optional] Bayer's grid type: [none, bggr, rggb, gbrg, grbg], default: none"),
                Text("ExBayerGrid"), Text("none")),
      algorithm(QStringList{Text("a")},
                Text("[optional] Demosaicing algorithm: [sd, id, ahd], default: sd. \n"
                     "sd - Simple demosaicing, the output image has half resolution of the input "
                     "image. It is very fast.\n"
                     "id - Classical demosaicing with interpolation which keeps the image "
                     "resolution.\n"),
                Text("Algorithm"), Text("sd")),
      reverse(QStringList{Text("r"), Text("reverse")},
              Text("[optional] Restores the raw image of the ZEL image given with -i into the "
                   "output file, whose suffix chooses its format (for example .tif or .png). "
                   "-b and -a are ignored.")) {}

void SetUpParser(QCommandLineParser& parser, const ConvertorOptions& options) {
  parser.setApplicationDescription(Text("ZEL Convertor"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(options.input);
  parser.addOption(options.output);
  parser.addOption(options.bayerGrid);
  parser.addOption(options.algorithm);
  parser.addOption(options.reverse);
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
