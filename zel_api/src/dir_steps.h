#pragma once
// Pieces the directory conversions share: the listing and tree walk, the checks of a flat call,
// reading a frame the way both passes read it, and one directory's protocol, progress and
// summary.

#include <zel/dir_conversion.h>
#include <zel/dir_jobs.h>
#include <zel/metadata.h>

#include <ur/cancellation_token.h>
#include <ur/image.h>
#include <ur/image_buf.h>
#include <ur/result.h>

#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

namespace urs::zel::detail {

// One directory of the tree with input files: its path (trailing separator, native form) and
// the names of its input files.
using DirJob = ConversionJob;

// The directory with a trailing separator, in native form.
QString WithTrailingSeparator(const QString& dir);

// The input files of dir (names matching the raw filter, without "*.zel.png"), unsorted; empty
// when dir does not exist.
QStringList ListInputFiles(const QString& dir);

// The jobs of the tree below root (itself included), depth first; subdirectories only with
// recursive. Directories without input files give no job but are still searched.
QVector<DirJob> WalkInputTree(const QString& root, bool recursive);

// outputDir + the complete base name of name + ".zel.png".
QString DirOutputPath(const QString& outputDir, const QString& name);

inline bool IsCancelled(const ur::CxCancellationToken* token) {
  return token && token->isCancelled();
}

// The checks of a flat call, in their order: plug-in id, input directory, output directory,
// bit depth. rc::InvalidArg(1) or (2).
ur::Result CheckFlatCall(const ZelParams& params, const QString& outputDir);

// A flat call with its directories normalised and its files listed.
struct FlatCall {
  ZelParams params;
  QString outputDir;
  QStringList files;
};

// Checks the call (CheckFlatCall) and prepares it; an empty file list means every input file of
// the input directory. False when the call ends here with result: a failed check, or no files
// (the progress task then says so).
bool PrepareFlatCall(const ZelParams& params, const QString& outputDir, const QStringList& files,
                     FlatCall& call, ur::Result& result);

// The image's rectangle, cut by the four margins with applyRoi.
QRect RegionOf(const ZelParams& params, int width, int height);

// The region lies wholly inside a width x height image.
bool RegionInside(const QRect& region, int width, int height);

// The valid levels (lowest, highest) of red, green, blue and the second green that repair
// keeps: strictly between a pair's thresholds, as the level analysis folds them, a disabled
// side not limiting. levelsCount is 2^bitDepth of the run.
void ValidRanges(const ZelParams& params, int levelsCount, unsigned short ranges[4][2]);

// The largest of four level counts: the normalisation of every raw plane under Together.
int LargestOf(const int counts[4]);

// The protocol, the progress task and the summary entry of one flat call.
class DirReport {
public:
  DirReport(const ZelParams& params, const QString& inputDir, int files);

  // A line of its own.
  void line(const QString& text) const;
  // "Conversion <path> failed." followed directly by the reason; counts the file as failed.
  void fileFailed(const QString& path, const QString& reason);
  // A failure already reported by its own line.
  void countFailed() { ++m_failed; }
  // The file's ZEL image is written, or was there already; the summary lists it.
  void converted(const QString& path, const QString& output);
  void skippedConverted(const QString& path, const QString& output);
  void task(double percent, const QString& message) const;
  void taskMessage(const QString& message) const;
  // After the analysis: the occupied levels per channel (or plane) and whether the way back
  // will give every sample exactly (at most exactLimit levels in each, and no greens averaged by
  // Simple demosaicing).
  void levels(const int counts[], int channels, int exactLimit, bool greensAveraged) const;
  // Records the directory in the summary. After a failure of the whole directory, every file
  // neither converted nor skipped counts as failed.
  void finish(ur::Result result);

private:
  const ZelParams& m_params;
  QString m_dir;
  int m_files = 0;
  int m_converted = 0;
  int m_skipped = 0;
  int m_failed = 0;
};

// The size every frame of a directory must have: that of the first frame read successfully.
class SizeReference {
public:
  // True when the frame has the size; otherwise reports the file and counts it as failed.
  bool accepts(const QString& path, const ur::SxImageBuf& frame, DirReport& report);

private:
  QSize m_size;
};

// Reports and returns rc::InvalidRoi for a region outside the image or, with even, one of an
// odd width or height; rc::Ok otherwise.
ur::Result CheckRegion(const QRect& region, const ur::SxImageBuf& frame, bool even,
                       const DirReport& report);

// What reading a frame gave: usable, failed (reported), or deeper than the run's bit depth (for
// the caller to report).
enum class FrameStatus { Ok, Failed, TooDeep };

// One input frame read as both passes read it: the image, its pixels (top-down) with the file's
// grid or else the run's, and its bit depth raised to the run's. A declared depth below the
// samples (a DNG white level under its data) counts as the depth the samples need, since such
// samples would index past the level tables.
struct Frame {
  ur::CxImage image;
  ur::SxImageBuf buf;
  int foundDepth = 0;  // the depth read, for the report of a deeper frame
};
FrameStatus ReadFrame(const ZelParams& params, const QString& path, Frame& frame,
                      DirReport& report);

// What the two flat conversions need to make and write one output image.
struct DirOutput {
  const ZelMetadata& record;
  const QRect& region;
  int bitDepth;
  bool demosaiced;
  QString createFailure;  // the report when the image cannot be made
  QString writeFailure;   // the report when it cannot be written ("%1": the error text)
};

// Makes the ZEL image of zel for the frame, checks the token, moves the task progress to the
// middle of the file's share (from progress by half of step) and writes it to output. A failure
// is reported for path and the run goes on (rc::Ok); rc::Cancelled when the token is set.
ur::Result WriteDirOutput(const Frame& frame, ur::SxImageBuf& zel, const DirOutput& out,
                          const QString& path, const QString& output, double progress,
                          double step, const ur::CxCancellationToken* token, DirReport& report);

// The translated text of the directory conversions.
QString DirTr(const char* text);

}  // namespace urs::zel::detail
