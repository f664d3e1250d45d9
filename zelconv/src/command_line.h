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

  QCommandLineOption input;      // -i: the image to convert
  QCommandLineOption output;     // -o: the file to write
  QCommandLineOption bayerGrid;  // -b: the grid of a mosaic input
  QCommandLineOption algorithm;  // -a: how a mosaic is demosaiced
  QCommandLineOption reverse;    // -r: restore the raw image of a ZEL image instead
  QCommandLineOption verbose;    // --verbose: also the plug-ins loaded and the step timings
};

// Gives parser its description, the help and version options and the converter's options, in
// the order the help text lists them.
void SetUpParser(QCommandLineParser& parser, const ConvertorOptions& options);

// The grid a -b value names, compared without regard to case; an empty value means no grid.
// False for any other word.
bool BayerGridFromOption(const QString& value, ur::ExBayerGrid& grid);

// The algorithm an -a value names, compared without regard to case. False for any other word.
bool AlgorithmFromOption(const QString& value, DemosaicAlgorithm& algorithm);

}  // namespace urs::zel
