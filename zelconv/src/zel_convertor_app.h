#pragma once
// The console converter's application: identity, plug-ins and the run a command line asks for.

#include <QCoreApplication>
#include <QStringList>

namespace urs::zel {

class ZelConvertorApp : public QCoreApplication {
  Q_OBJECT

public:
  // Sets the program's identity, puts the message filter in place and loads the conversion
  // plug-ins found beside the executable; a missing plug-in is reported and the program goes on
  // (the conversion then fails).
  ZelConvertorApp(int& argc, char** argv);

  // Parses arguments (program name first) and runs what they ask for: one file, reporting
  // "Success" or "Failed" on standard error, a directory, with its protocol on standard error,
  // or the list of directories to convert, on standard output. Debug and info messages appear
  // only with --verbose. Returns the exit status: 0 when everything converted, 1 when anything
  // failed, 130 after a cancellation, 255 when the command line names no valid run.
  // Help, version and malformed command lines end the process inside the parser.
  int run(const QStringList& arguments);
};

}  // namespace urs::zel
