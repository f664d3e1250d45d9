#pragma once
// The outcome of a directory run counted by file.

#include <QString>
#include <QVector>

namespace urs::zel {

// What one run did, per directory and in total, for callers that report an outcome (the
// console converter's exit status). Filled by the directory conversions, forward and back,
// when their parameter record's summary is set; the result codes stay as they are.
struct ZelRunSummary {
  struct Directory {
    QString path;
    int converted = 0;
    int skippedConverted = 0;  // outputs that existed, with doNotProcessConverted
    int failed = 0;
  };
  // A ZEL image of a forward run, with the input it was made from: written by the run, or
  // there already (doNotProcessConverted).
  struct Output {
    QString source;
    QString zel;
    bool written = true;
  };
  QVector<Directory> directories;
  QVector<Output> outputs;  // forward runs only, in the order of the files
  int converted = 0;
  int skippedConverted = 0;
  int failed = 0;
};

}  // namespace urs::zel
