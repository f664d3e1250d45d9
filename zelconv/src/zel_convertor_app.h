#pragma once
// The console converter's application: identity, plug-ins and the one conversion of a run.

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

  // Parses arguments (program name first) and runs the conversion they ask for, reporting
  // "Success" or "Failed" on standard error; debug and info messages appear only with
  // --verbose. Returns the exit status: 0 after a conversion attempt whatever its outcome, -1
  // when the command line names no valid conversion (the help text is printed).
  // Help, version and malformed command lines end the process inside the parser.
  int run(const QStringList& arguments);
};

}  // namespace urs::zel
