#pragma once
// The directory runs of zelconv: forward over a tree of directories, and back for one.

#include <zel/dir_conversion.h>

#include <ur/result.h>

#include <QString>

namespace urs {
class CxProgressInfo;
class Protocol;
}

namespace urs::zel {

// The id of the first conversion plug-in loaded, or 0 when none is.
unsigned long long FirstPluginId();

// Converts each directory that the walk of params.inputDir (with params.processSubfolders)
// finds, one at a time with ConvertDirToZel; with autoBits at the bit depth detected in that
// directory. summary counts what every directory did; a directory that failed as a whole
// (its output folder not made, a bit depth its frames exceed) counts as one failure. With verify,
// each ZEL image written or skipped as converted is restored in memory and compared with its
// source (VerifyZelImage); a failed check counts its file as failed. Codes: rc::Ok, rc::Cancelled, rc::InvalidParams (no
// plug-in, no such directory).
ur::Result ConvertDirectories(const ZelParams& params, bool autoBits, bool verify,
                              ZelRunSummary& summary);

// Checks the ZEL images of part (verify above), reports each to protocol and moves the files
// whose check failed from converted to failed.
void VerifyOutputs(unsigned long long pluginId, const ZelParams& params, Protocol* protocol,
                   ZelRunSummary& part);

// Restores every ZEL image of inputDir into outputDir, which is made when missing; summary
// counts the files restored and failed. protocol and progress may be null.
ur::Result RestoreDirectory(const QString& inputDir, const QString& outputDir, Protocol* protocol,
                            CxProgressInfo* progress, ZelRunSummary& summary);

}  // namespace urs::zel
