#include "request.h"

#include <QStringList>

#include <vector>

namespace urs::zel {

namespace {

using Options = std::vector<const QCommandLineOption*>;

// The option as a user types it: its long form when it has one.
QString Shown(const QCommandLineOption& option) {
  const QString name = option.names().last();
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The first of options that the command line sets, or null.
const QCommandLineOption* FirstSet(const QCommandLineParser& parser, const Options& options) {
  for (const QCommandLineOption* option : options)
    if (parser.isSet(*option)) return option;
  return nullptr;
}

class RequestReader {
public:
  RequestReader(const QCommandLineParser& parser, const ConvertorOptions& options, Request& request,
                QString& refusal)
      : m_parser(parser), m_o(options), m_request(request), m_refusal(refusal) {}

  RequestStatus read() {
    if (isSet(m_o.listJobs)) return withReporting(readListJobs());
    if (isSet(m_o.nulSeparated)) return refuse(m_o.nulSeparated, "needs --list-jobs");
    if (isSet(m_o.dir)) return withReporting(readDir());
    return withReporting(readFile());
  }

  // --protocol and --quiet belong to directory runs, --verify to forward conversions.
  RequestStatus withReporting(RequestStatus status) {
    if (status != RequestStatus::Ok) return status;
    const bool forward = m_request.mode == RunMode::File || m_request.mode == RunMode::FileRaw ||
                         m_request.mode == RunMode::Dir;
    if (!forward && isSet(m_o.verify))
      return refuse(m_o.verify, "checks the ZEL images a conversion writes: not used with -r "
                                "or --list-jobs");
    m_request.verify = isSet(m_o.verify);
    const bool directory =
        m_request.mode == RunMode::Dir || m_request.mode == RunMode::DirReverse;
    if (!directory) return refuseAny({&m_o.protocolFile, &m_o.quiet}, "needs -d");
    m_request.protocolFile = value(m_o.protocolFile);
    if (isSet(m_o.protocolFile) && m_request.protocolFile.isEmpty())
      return refuseValue(m_o.protocolFile, "a file name");
    m_request.quiet = isSet(m_o.quiet);
    return RequestStatus::Ok;
  }

private:
  bool isSet(const QCommandLineOption& option) const { return m_parser.isSet(option); }
  QString value(const QCommandLineOption& option) const { return m_parser.value(option); }

  RequestStatus refuse(const QCommandLineOption& option, const char* why) {
    m_refusal = QStringLiteral("%1 %2.").arg(Shown(option), QLatin1String(why));
    return RequestStatus::Refused;
  }
  RequestStatus refuseValue(const QCommandLineOption& option, const char* expected) {
    m_refusal = QStringLiteral("%1 takes %2, not '%3'.")
                    .arg(Shown(option), QLatin1String(expected), value(option));
    return RequestStatus::Refused;
  }
  // Refuses the first of options that is set, for why; Ok when none is.
  RequestStatus refuseAny(const Options& options, const char* why) {
    const QCommandLineOption* set = FirstSet(m_parser, options);
    return set ? refuse(*set, why) : RequestStatus::Ok;
  }

  Options forwardOptions() const {
    return {&m_o.bits,     &m_o.autoBits, &m_o.raw,      &m_o.debayer,
            &m_o.together, &m_o.crop,     &m_o.threshold};
  }

  RequestStatus readListJobs() {
    m_request.mode = RunMode::ListJobs;
    m_request.input = value(m_o.listJobs);
    m_request.params.processSubfolders = isSet(m_o.subfolders);
    m_request.nulSeparated = isSet(m_o.nulSeparated);
    return refuseAny({&m_o.input, &m_o.output, &m_o.bayerGrid, &m_o.algorithm, &m_o.reverse,
                      &m_o.dir, &m_o.skipConverted, &m_o.bits, &m_o.autoBits, &m_o.raw,
                      &m_o.debayer, &m_o.together, &m_o.crop, &m_o.threshold},
                     "is not used with --list-jobs");
  }

  RequestStatus readDir() {
    m_request.input = value(m_o.dir);
    if (isSet(m_o.input)) return refuse(m_o.input, "is not used with -d, which names the inputs");
    if (isSet(m_o.reverse)) {
      m_request.mode = RunMode::DirReverse;
      if (!isSet(m_o.output)) return refuse(m_o.output, "is needed with -r -d: the output folder");
      m_request.output = value(m_o.output);
      const RequestStatus status = refuseAny(forwardOptions(), "is not used with -r");
      if (status != RequestStatus::Ok) return status;
      return refuseAny({&m_o.subfolders, &m_o.skipConverted}, "is not used with -r");
    }
    m_request.mode = RunMode::Dir;
    if (isSet(m_o.output))
      return refuse(m_o.output,
                    "is not used with -d: each directory's ZEL images go into its "
                    "subdirectory ZEL");
    m_request.params.processSubfolders = isSet(m_o.subfolders);
    m_request.params.doNotProcessConverted = isSet(m_o.skipConverted);
    RequestStatus status = readForward();
    if (status != RequestStatus::Ok) return status;
    const bool grid = m_request.params.bayerGrid != ur::eBayerNone;
    if (isSet(m_o.raw) && !grid)
      return refuse(m_o.raw, "with -d needs the grid of the mosaics: -b bggr, rggb, gbrg or grbg");
    if (!isSet(m_o.raw) && grid) return refuse(m_o.bayerGrid, "with a grid needs --raw with -d");
    return RequestStatus::Ok;
  }

  RequestStatus readFile() {
    if (!isSet(m_o.input)) return RequestStatus::ShowHelp;
    m_request.input = value(m_o.input);
    if (!isSet(m_o.output)) return RequestStatus::ShowHelp;
    m_request.output = value(m_o.output);
    RequestStatus status = refuseAny({&m_o.subfolders, &m_o.skipConverted}, "needs -d");
    if (status != RequestStatus::Ok) return status;
    if (isSet(m_o.reverse)) {
      m_request.mode = RunMode::FileReverse;
      return refuseAny(forwardOptions(), "is not used with -r");
    }
    if (isSet(m_o.raw)) {
      m_request.mode = RunMode::FileRaw;
      return readForward();
    }
    m_request.mode = RunMode::File;
    if (isSet(m_o.debayer)) return refuse(m_o.debayer, "needs --raw");
    status = refuseAny({&m_o.bits, &m_o.autoBits, &m_o.together, &m_o.crop, &m_o.threshold},
                       "needs -d or --raw");
    if (status != RequestStatus::Ok) return status;
    return readGridAndAlgorithm();
  }

  RequestStatus readGridAndAlgorithm() {
    ZelParams& params = m_request.params;
    if (!BayerGridFromOption(value(m_o.bayerGrid), params.bayerGrid) ||
        !AlgorithmFromOption(value(m_o.algorithm), params.algorithm))
      return RequestStatus::ShowHelp;
    return RequestStatus::Ok;
  }

  // The settings of the directory conversion and of --raw.
  RequestStatus readForward() {
    RequestStatus status = readGridAndAlgorithm();
    if (status != RequestStatus::Ok) return status;
    ZelParams& params = m_request.params;
    if (isSet(m_o.debayer) && !isSet(m_o.raw)) return refuse(m_o.debayer, "needs --raw");
    if (isSet(m_o.algorithm) && !isSet(m_o.debayer))
      return refuse(m_o.algorithm, "applies only with --raw --debayer in this mode");
    params.debayerizeOutput = isSet(m_o.debayer);
    if (isSet(m_o.bits) && isSet(m_o.autoBits)) return refuse(m_o.autoBits, "contradicts --bits");
    m_request.autoBits = !isSet(m_o.bits);
    if (isSet(m_o.bits) && !BitsFromOption(value(m_o.bits), params.rawBitColorDepth))
      return refuseValue(m_o.bits, "a bit depth 1..16");
    if (isSet(m_o.together)) params.channelNormalization = Together;
    if (isSet(m_o.crop)) {
      CropMargins crop;
      if (!CropFromOption(value(m_o.crop), crop))
        return refuseValue(m_o.crop, "four margins L,T,R,B of 0 or more pixels");
      params.applyRoi = true;
      params.rawRoiLeft = crop.left;
      params.rawRoiTop = crop.top;
      params.rawRoiRight = crop.right;
      params.rawRoiBottom = crop.bottom;
    }
    if (isSet(m_o.threshold)) {
      ThresholdPairs pairs;
      if (!ThresholdsFromOption(value(m_o.threshold), pairs))
        return refuseValue(m_o.threshold,
                           "LOW:HIGH or three pairs separated by commas, levels 0..65535 with "
                           "LOW below HIGH");
      // With a given bit depth, a level above its range can only be a typing error.
      const int top = (1 << params.rawBitColorDepth) - 1;
      for (int c = 0; c < 3 && isSet(m_o.bits); ++c)
        if (pairs.low[c] > top || pairs.high[c] > top)
          return refuseValue(m_o.threshold, "levels within the range of --bits");
      params.applyThreshold = true;
      params.thresholdLowRed = pairs.low[0];
      params.thresholdHighRed = pairs.high[0];
      params.thresholdLowGreen = pairs.low[1];
      params.thresholdHighGreen = pairs.high[1];
      params.thresholdLowBlue = pairs.low[2];
      params.thresholdHighBlue = pairs.high[2];
    }
    return RequestStatus::Ok;
  }

  const QCommandLineParser& m_parser;
  const ConvertorOptions& m_o;
  Request& m_request;
  QString& m_refusal;
};

}  // namespace

RequestStatus ReadRequest(const QCommandLineParser& parser, const ConvertorOptions& options,
                          Request& request, QString& refusal) {
  return RequestReader(parser, options, request, refusal).read();
}

}  // namespace urs::zel
