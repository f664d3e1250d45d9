// One ZEL image back into a raw image with its source levels.
#include <zel/reverse_conversion.h>

#include <zel/metadata.h>
#include <zel/occupied_levels.h>
#include <zel/plugin.h>
#include <zel/zel_file.h>

#include <urs/protocol.h>

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

constexpr int kBestQuality = 100;
constexpr int kEightBitLevels = 256;
constexpr int kWideSampleBits = 16;

// The ZEL name's mark before the suffix, found without regard to case as the directory listing
// finds it.
const QLatin1String kZelMark(".zel.");

// Sample type and significant bits of the restored image. A source of 16-bit samples comes back
// in 16-bit samples even when all its levels lie below 256; without a recorded width the level
// count decides. A count above 8 bits that is no common depth keeps the 16-bit type with an
// unknown depth.
void DescribeRawSamples(const ZelMetadata& md, ur::SxImageBuf& raw) {
  const int levelsCount = md.levelsCount;
  const bool narrow = levelsCount <= kEightBitLevels;
  raw.dataType =
      narrow && md.sampleBits != kWideSampleBits ? ur::eImageDataUInt8 : ur::eImageDataUInt16;
  raw.bitDepth = narrow ? 8 : 0;
  for (const int depth : {10, 12, 14, 16})
    if (levelsCount == 1 << depth) raw.bitDepth = depth;
}

// Only lossless formats keep the restored levels; everything else is refused before any work.
bool IsRestorableSuffix(const QString& outputFile) {
  return RestoredImageSuffixes().contains(QFileInfo(outputFile).suffix(), Qt::CaseInsensitive);
}

void ReportUnsupportedSuffix(const QString& inputFile, const QString& outputFile,
                             Protocol* protocol) {
  const QString suffix = QFileInfo(outputFile).suffix();
  const QString reason =
      suffix.isEmpty()
          ? QCoreApplication::translate("ReverseConversion", "the output name has no suffix")
          : QCoreApplication::translate("ReverseConversion", "the suffix .%1 is not supported")
                .arg(suffix);
  const QString message =
      QCoreApplication::translate("ReverseConversion",
                                  "Cannot restore %1 into %2: %3; restored images are written "
                                  "only in lossless formats (.%4).")
          .arg(inputFile, outputFile, reason, RestoredImageSuffixes().join(QStringLiteral(", .")));
  qWarning().noquote() << message;
  if (protocol) protocol->addMessage(message);
}

bool IsEightBit(const ur::SxImageBuf& zel) {
  return zel.dataType == ur::eImageDataInt8 || zel.dataType == ur::eImageDataUInt8;
}

// The raw mosaic behind a ZEL image: twice its size only where each colour pixel stood for a 2x2
// cell (Simple demosaicing); an interpolated colour image or a grey image keeps its size. The
// plug-in tells the two colour cases apart by the raw buffer's size.
ur::Result AllocateRaw(const ur::SxImageBuf& zel, const ZelMetadata& md, ur::ScopedImageBuf& raw) {
  const bool cells = zel.channels == 3 && md.debayer == Simple;
  ur::SxImageBuf& buf = raw.get();
  buf.width = cells ? 2 * zel.width : zel.width;
  buf.height = cells ? 2 * zel.height : zel.height;
  buf.channels = 1;
  buf.planar = 0;
  buf.linePitch = 0;
  buf.bayerGrid = md.bayerGrid;
  DescribeRawSamples(md, buf);
  return ur::AllocBuffer(buf);
}

// The record keeps a mapping as runs of consecutive levels with consecutive values, which holds
// a rank mapping exactly but not the 8-bit spread of raw planes (ZEL type 1): a run of
// neighbouring levels comes back as neighbouring values instead of values spread over 0..254.
// The spread tables the forward conversion used follow from the occupancy and the recorded
// maxima: equal maxima are what spreading all planes by the largest count (Together) records,
// and where they are equal either mode gives the same tables.
ur::Result RebuildSpreadTables(ZelMetadata& md) {
  for (int p = 0; p < 4; ++p)
    if (!md.occupied[p] || !md.mapping[p]) return rc::Ok;  // left for the plug-in to refuse
  const unsigned short* n = md.normalization;
  const bool together = n[0] == n[1] && n[1] == n[2] && n[2] == n[3];
  return GetZel8ChannelMapping(md.occupied[0], md.occupied[1], md.occupied[2], md.occupied[3],
                               md.mapping[0], md.mapping[1], md.mapping[2], md.mapping[3],
                               md.levelsCount, together ? Together : Separated);
}

// Hands the record's tables to the plug-in. A grey image of rank-mapped levels needs only
// channel 0; a colour image, or a one-channel mosaic of spread-mapped planes (ZEL type 1), needs
// all four tables and the grid. Channel 3 stands in for the second green and falls back to
// channel 1 when the record has none.
ur::Result Restore(ZelPlugin& plugin, const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                   const ZelMetadata& md, QString& operation) {
  if (zel.channels == 1 && md.zelType != 1) {
    operation = QStringLiteral("ZelPlugin::convertZelToRaw()");
    return plugin.convertZelToRaw(zel, raw, md.mapping[0], md.occupied[0], md.normalization[0],
                                  &md.invalidPixels, md.levelsCount, md.zelType);
  }
  const int green2 = md.mapping[3] ? 3 : 1;
  operation = QStringLiteral("ZelPlugin::convertZelRgbToRaw()");
  return plugin.convertZelRgbToRaw(
      zel, raw, md.mapping[0], md.mapping[1], md.mapping[2], md.mapping[green2], md.occupied[0],
      md.occupied[1], md.occupied[2], md.occupied[green2], md.normalization[0], md.normalization[1],
      md.normalization[2], md.normalization[green2], md.bayerGrid, &md.invalidPixels,
      md.levelsCount, md.zelType);
}

}  // namespace

QStringList RestoredImageSuffixes() {
  return {QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("png"),
          QStringLiteral("pgm")};
}

QString DezelOutputFileName(const QString& outputDir, const QString& inputName) {
  const QFileInfo info(inputName);
  const QString name = info.fileName();
  const QString suffix = info.suffix();
  // Everything before ".zel", dots included, so that frame.0001 and frame.0002 stay apart.
  const int stem = name.size() - suffix.size() - 1;
  const int mark = name.lastIndexOf(kZelMark, stem, Qt::CaseInsensitive);
  const bool zelName = mark >= 0 && mark + kZelMark.size() - 1 == stem;
  const QString base = zelName ? name.left(mark) : info.completeBaseName();
  return outputDir + base + QStringLiteral(".dezel.") + suffix;
}

unsigned int RestoreZelImage(unsigned long long pluginId, const QString& inputFile,
                             ur::ScopedImageBuf& raw, ZelMetadata& md, Protocol* protocol,
                             int* zelChannels) {
  ZelPlugin* plugin = PluginById(pluginId);
  if (!plugin) return rc::InvalidArg(1);
  ur::CxImage image;
  const ur::Result read = ReadZelImage(inputFile, image, md);
  if (ur::Failed(read)) return read;

  // The image's own memory, bottom scanline first: the restored buffer comes out in the same
  // order.
  ur::SxImageBuf zel;
  ur::Result r = image.getImageBuf(zel);
  if (ur::Succeeded(r) && !IsEightBit(zel)) r = rc::Fail;
  if (ur::Succeeded(r) && zelChannels) *zelChannels = zel.channels;
  if (ur::Succeeded(r)) r = AllocateRaw(zel, md, raw);
  if (ur::Failed(r)) {
    if (protocol)
      protocol->addMessage(
          QCoreApplication::translate("ReverseConversion", "Cannot convert 16bit ZEL image: %1")
              .arg(inputFile));
    return rc::Fail;
  }

  if (md.zelType == 1) {
    r = RebuildSpreadTables(md);
    if (ur::Failed(r)) {
      ur::LogFunctionFailed(QStringLiteral("zel::GetZel8ChannelMapping()"), r);
      return rc::Fail;
    }
  }
  QString operation;
  const ur::Result restored = Restore(*plugin, zel, raw.get(), md, operation);
  if (ur::Failed(restored)) {
    // Whatever the plug-in left in the buffer is no restored image.
    ur::LogFunctionFailed(operation, restored);
    raw = ur::ScopedImageBuf();
  }
  return restored;
}

unsigned int ConvertZelFileToRAW(unsigned long long pluginId, const QString& inputFile,
                                 const QString& outputFile, Protocol* protocol) {
  if (!PluginById(pluginId)) return rc::InvalidArg(1);
  if (!IsRestorableSuffix(outputFile)) {
    ReportUnsupportedSuffix(inputFile, outputFile, protocol);
    return rc::Unsupported;
  }

  ur::ScopedImageBuf raw;
  ZelMetadata md;
  const ur::Result restored = RestoreZelImage(pluginId, inputFile, raw, md, protocol);
  if (ur::Failed(restored)) return restored;

  ur::CxImage::SxSaveParams params;
  params.quality = kBestQuality;
  // Written aside and renamed when complete, so a failed save leaves any earlier file as it was.
  // The buffer is bottom scanline first, which the save writes back upright.
  const ur::Result saved = ur::CxImage::saveBufferToFile(raw.get(), outputFile, params);
  if (ur::Failed(saved)) {
    ur::LogFunctionFailed(QStringLiteral("ur::CxImage::saveBufferToFile()"), saved);
    return rc::Fail;
  }
  return restored;
}

}  // namespace urs::zel
