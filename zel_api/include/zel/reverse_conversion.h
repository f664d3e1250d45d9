#pragma once
// Reverse conversion: ZEL images back into raw images with their source levels ("*.dezel.*").

#include <zel/zel_api_export.h>

#include <ur/cancellation_token.h>

#include <QString>

namespace urs {
class CxProgressInfo;
class Protocol;
}  // namespace urs

namespace urs::zel {

// Settings of a directory's reverse conversion. Folders are used as given: the caller ends them
// with a separator. progress and protocol are not owned and may be null.
struct BackZelParams {
  unsigned long long pluginId = 1;
  QString inputDir;
  QString outputDir;
  int numCores = 1;
  CxProgressInfo* progress = nullptr;
  Protocol* protocol = nullptr;
};

// Restores one ZEL image into outputFile (format by its suffix), written under a temporary name
// and renamed when complete; nothing is written when the plug-in fails. Codes: InvalidArg(1) bad
// plug-in id, the reader's or plug-in's code, rc::Fail.
ZEL_API_EXPORT unsigned int ConvertZelFileToRAW(unsigned long long pluginId,
                                                const QString& inputFile,
                                                const QString& outputFile, Protocol* protocol);

// The output name of a restored file: outputDir + base name + ".dezel." + suffix.
ZEL_API_EXPORT QString DezelOutputFileName(const QString& outputDir, const QString& inputName);

// Restores every "*.zel.png" of inputDir (no subfolders) into outputDir. Codes:
// rc::InvalidParams, rc::Cancelled, or the last file's code.
ZEL_API_EXPORT unsigned int ConvertDirToRaw(BackZelParams& params,
                                            ur::CxCancellationToken* token);

}  // namespace urs::zel
