#pragma once
// The exit statuses of zelconv, as the field's tools give them.

#include <zel/dir_conversion.h>

#include <ur/result.h>

namespace urs::zel {

constexpr int kExitConverted = 0;    // every file converted
constexpr int kExitFailed = 1;       // any file failed
constexpr int kExitCancelled = 130;  // interrupted
constexpr int kExitUsage = 255;      // the command line names no valid run

// The status of a run from its result code and, for directory runs, what it counted.
inline int ExitStatusOf(ur::Result result, const ZelRunSummary* summary = nullptr) {
  if (result == ur::rc::Cancelled) return kExitCancelled;
  if (ur::Failed(result) || (summary && summary->failed > 0)) return kExitFailed;
  return kExitConverted;
}

}  // namespace urs::zel
