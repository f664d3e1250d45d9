#pragma once
// What one command line asks for, read and checked before anything is converted.

#include "command_line.h"

#include <zel/dir_conversion.h>

#include <QCommandLineParser>
#include <QString>

namespace urs::zel {

enum class RunMode {
  File,         // -i, -o: one image into one ZEL image
  FileRaw,      // -i, -o, --raw: one mosaic through the raw path
  FileReverse,  // -r -i, -o
  Dir,          // -d
  DirReverse,   // -r -d, -o
  ListJobs,     // --list-jobs
};

struct Request {
  RunMode mode = RunMode::File;
  QString input;   // -i, -d or --list-jobs
  QString output;  // -o
  // The conversion's settings except plug-in, input directory and reporting, for the modes
  // that convert through the directory conversion.
  ZelParams params;
  bool autoBits = true;  // the bit depth is found per directory (or for the one file)
  bool nulSeparated = false;
  QString protocolFile;  // --protocol: where a directory run's protocol is saved
  bool quiet = false;    // --quiet: only failures are shown
  bool verify = false;   // --verify: every written ZEL image restored and compared
};

enum class RequestStatus {
  Ok,
  ShowHelp,  // no valid conversion named: "Failed" and the help text
  Refused,   // an option that is unknown here, contradicts another or has a bad value
};

// Reads the processed parser into request. On Refused, refusal names the option and why.
RequestStatus ReadRequest(const QCommandLineParser& parser, const ConvertorOptions& options,
                          Request& request, QString& refusal);

}  // namespace urs::zel
