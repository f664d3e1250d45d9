#include "zel_convertor_app.h"

#include "command_line.h"
#include "message_filter.h"

#include <zel/file_conversion.h>
#include <zel/plugin.h>
#include <zel/reverse_conversion.h>

#include <ur/result.h>

#include <QDebug>
#include <QDir>
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

void ReportOutcome(unsigned int result) { PrintOutcome(ur::Failed(result) ? "Failed" : "Success"); }

// A command line that names no valid conversion.
int FailWithHelp(const QCommandLineParser& parser) {
  PrintOutcome("Failed");
  std::fputs(qUtf8Printable(parser.helpText()), stdout);
  std::fflush(stdout);
  return -1;
}

// True when both names lead to one existing file. Writing the output would then destroy the
// input before anything could be restored from it, so the conversion is refused.
bool IsSameFile(const QString& input, const QString& output) {
  const QString a = QFileInfo(input).canonicalFilePath();
  return !a.isEmpty() && a == QFileInfo(output).canonicalFilePath();
}

unsigned int ConvertBack(const QString& input, const QString& output) {
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins)) || plugins.isEmpty()) return rc::NoPlugin;
  return ConvertZelFileToRAW(plugins.first().id, input, output, nullptr);
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

  if (arguments.size() < 2 || !parser.isSet(options.input)) return FailWithHelp(parser);
  const QString input = parser.value(options.input);
  if (!parser.isSet(options.output)) return FailWithHelp(parser);
  const QString output = parser.value(options.output);

  const bool reverse = parser.isSet(options.reverse);
  ur::ExBayerGrid grid = ur::eBayerNone;
  DemosaicAlgorithm algorithm = Simple;
  if (!reverse && (!BayerGridFromOption(parser.value(options.bayerGrid), grid) ||
                   !AlgorithmFromOption(parser.value(options.algorithm), algorithm)))
    return FailWithHelp(parser);

  if (IsSameFile(input, output)) {
    qCritical().noquote() << QStringLiteral("The output file %1 is the input file.").arg(output);
    ReportOutcome(rc::InvalidArg(2));
    return 0;
  }
  ReportOutcome(reverse ? ConvertBack(input, output)
                        : ConvertFileToZel8(input, output, grid, algorithm));
  return 0;
}

}  // namespace urs::zel
