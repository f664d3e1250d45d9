#include "zel_convertor_app.h"

#include "command_line.h"
#include "dir_runs.h"
#include "exit_status.h"
#include "message_filter.h"
#include "run_display.h"
#include "raw_file.h"
#include "request.h"

#include <zel/dir_jobs.h>
#include <zel/file_conversion.h>
#include <zel/plugin.h>
#include <zel/reverse_conversion.h>
#include <zel/verification.h>

#include <ur/result.h>

#include <urs/protocol.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <cstdio>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// The executable's folder with a trailing separator, as the plug-in host expects it.
QString PluginDirectory() {
  QString dir = QCoreApplication::applicationDirPath();
  if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
    dir += QDir::separator();
  return QDir::toNativeSeparators(dir);
}

void ReportNoPlugin() { qCritical().noquote() << QStringLiteral("No ZEL plugin is available."); }

// Reports the outcome of a single-file conversion and gives its exit status.
int ReportOutcome(unsigned int result) {
  PrintOutcome(ur::Failed(result) ? "Failed" : "Success");
  return ExitStatusOf(result);
}

// A command line that names no valid conversion.
int FailWithHelp(const QCommandLineParser& parser) {
  PrintOutcome("Failed");
  std::fputs(qUtf8Printable(parser.helpText()), stdout);
  std::fflush(stdout);
  return kExitUsage;
}

// A command line with an option zelconv cannot honour: why, on standard error.
int Refuse(const QString& refusal) {
  std::fprintf(stderr, "zelconv: %s\nFailed\nSee zelconv --help.\n", qUtf8Printable(refusal));
  std::fflush(stderr);
  return kExitUsage;
}

// True when both names lead to one existing file. Writing the output would then destroy the
// input before anything could be restored from it, so the conversion is refused.
bool IsSameFile(const QString& input, const QString& output) {
  const QString a = QFileInfo(input).canonicalFilePath();
  return !a.isEmpty() && a == QFileInfo(output).canonicalFilePath();
}

unsigned int ConvertBack(const QString& input, const QString& output) {
  const unsigned long long pluginId = FirstPluginId();
  if (pluginId == 0) return rc::NoPlugin;
  return ConvertZelFileToRAW(pluginId, input, output, nullptr);
}

// With --verify, the written image restored and compared with its input; the line says how it
// came back, and a failed check fails the conversion.
unsigned int VerifiedResult(const Request& request, unsigned int result) {
  if (!request.verify || ur::Failed(result)) return result;
  const ZelVerification check =
      VerifyZelImage(FirstPluginId(), request.output, request.input, request.params);
  std::fprintf(stderr, "%s\n", qUtf8Printable(DescribeVerification(request.output, check)));
  return check.failed() ? rc::Fail : result;
}

// The reasons of a failed single-file conversion are shown; a good one says only "Success".
int ConvertOneRaw(const Request& request) {
  Protocol protocol;
  ZelParams params = request.params;
  params.protocol = &protocol;
  const ur::Result result = ConvertFileRaw(params, request.autoBits, request.input, request.output);
  if (ur::Failed(result))
    for (const QString& line : protocol.getProtocol())
      std::fprintf(stderr, "%s\n", qUtf8Printable(line));
  return ReportOutcome(VerifiedResult(request, result));
}

RunDisplay::Mode DisplayMode(const Request& request) {
  return request.quiet ? RunDisplay::Mode::Quiet : RunDisplay::Mode::Normal;
}

// The closing counts, the protocol saved where --protocol asks, and the exit status.
int FinishDirectoryRun(const Request& request, RunDisplay& display, ur::Result result,
                       const ZelRunSummary& summary) {
  display.finalLine(QStringLiteral("%1 converted, %2 skipped, %3 failed")
                        .arg(summary.converted)
                        .arg(summary.skippedConverted)
                        .arg(summary.failed),
                    summary.failed > 0 || ur::Failed(result));
  int status = ExitStatusOf(result, &summary);
  if (!request.protocolFile.isEmpty() && !display.protocol()->save(request.protocolFile)) {
    std::fprintf(stderr, "zelconv: cannot save the protocol to %s\n",
                 qUtf8Printable(request.protocolFile));
    if (status == kExitConverted) status = kExitFailed;
  }
  return status;
}

int RunDirectory(const Request& request) {
  RunDisplay display(DisplayMode(request), RunDisplay::StandardErrorIsTerminal());
  ZelParams params = request.params;
  params.inputDir = request.input;
  params.protocol = display.protocol();
  params.progress = display.progress();
  int files = 0;
  for (const ConversionJob& job : ListConversionJobs(request.input, params.processSubfolders))
    files += job.files.size();
  display.setTotalFiles(files);
  ZelRunSummary summary;
  const ur::Result result =
      ConvertDirectories(params, request.autoBits, request.verify, summary);
  return FinishDirectoryRun(request, display, result, summary);
}

int RestoreDir(const Request& request) {
  RunDisplay display(DisplayMode(request), RunDisplay::StandardErrorIsTerminal());
  ZelRunSummary summary;
  const ur::Result result = RestoreDirectory(request.input, request.output, display.protocol(),
                                             display.progress(), summary);
  return FinishDirectoryRun(request, display, result, summary);
}

int ListJobs(const Request& request) {
  if (!QFileInfo(request.input).isDir()) {
    std::fprintf(stderr, "zelconv: %s is no directory.\n", qUtf8Printable(request.input));
    return kExitFailed;
  }
  const char end = request.nulSeparated ? '\0' : '\n';
  for (const ConversionJob& job :
       ListConversionJobs(request.input, request.params.processSubfolders)) {
    std::fputs(QFile::encodeName(job.dir).constData(), stdout);
    std::fputc(end, stdout);
  }
  std::fflush(stdout);
  return kExitConverted;
}

}  // namespace

ZelConvertorApp::ZelConvertorApp(int& argc, char** argv) : QCoreApplication(argc, argv) {
  InstallMessageFilter();
  setApplicationName(QStringLiteral("ZEL Convertor"));
  setOrganizationName(QStringLiteral("ZEL Project"));
  setOrganizationDomain(QStringLiteral("zel.example.org"));
  setApplicationVersion(QStringLiteral("1.1 build 9 (64bit)"));

  if (ur::Failed(InitPlugins(PluginDirectory()))) ReportNoPlugin();
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins))) ReportNoPlugin();
}

int ZelConvertorApp::run(const QStringList& arguments) {
  QCommandLineParser parser;
  const ConvertorOptions options;
  SetUpParser(parser, options);
  parser.process(arguments);
  SetVerboseMessages(parser.isSet(options.verbose));

  if (arguments.size() < 2) return FailWithHelp(parser);
  Request request;
  QString refusal;
  switch (ReadRequest(parser, options, request, refusal)) {
    case RequestStatus::ShowHelp:
      return FailWithHelp(parser);
    case RequestStatus::Refused:
      return Refuse(refusal);
    case RequestStatus::Ok:
      break;
  }
  switch (request.mode) {
    case RunMode::ListJobs:
      return ListJobs(request);
    case RunMode::Dir:
      return RunDirectory(request);
    case RunMode::DirReverse:
      return RestoreDir(request);
    case RunMode::File:
    case RunMode::FileRaw:
    case RunMode::FileReverse:
      break;
  }

  if (IsSameFile(request.input, request.output)) {
    qCritical().noquote()
        << QStringLiteral("The output file %1 is the input file.").arg(request.output);
    return ReportOutcome(rc::InvalidArg(2));
  }
  if (request.mode == RunMode::FileRaw) return ConvertOneRaw(request);
  if (request.mode == RunMode::FileReverse)
    return ReportOutcome(ConvertBack(request.input, request.output));
  return ReportOutcome(VerifiedResult(
      request, ConvertFileToZel8(request.input, request.output, request.params.bayerGrid,
                                 request.params.algorithm)));
}

}  // namespace urs::zel
