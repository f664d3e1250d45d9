#include "reverse_fixture.h"

#include <zel/compaction.h>
#include <zel/metadata.h>
#include <zel/occupied_levels.h>
#include <zel/plugin.h>
#include <zel/zel_file.h>

#include <zel_testing/image_builder.h>

#include <ur/demosaic.h>
#include <ur/geometry.h>
#include <ur/image.h>
#include <ur/raw_planar.h>
#include <ur/result.h>

#include <QRect>

#include <algorithm>

namespace zel::testing {

namespace {

namespace rc = ur::rc;
using urs::zel::ZelMetadata;

constexpr int kLevels12 = 4096;
constexpr int kDepth12 = 12;
constexpr int kNoThreshold = -1;

// Colour letters of each grid's top-left cell, row by row.
const char* const kGridLetters[4] = {"BGGR", "RGGB", "GBRG", "GRBG"};

const std::uint16_t kRed[5] = {100, 2000, 2001, 2002, 4095};
const std::uint16_t kBlue[3] = {7, 8, 9};
const std::uint16_t kGreenOfRedRows[3] = {0, 50, 3000};
const std::uint16_t kGreenOfBlueRows[3] = {1, 60, 2999};

// The first failing step ends the helper with its code.
#define RETURN_IF_FAILED(step)           \
  do {                                   \
    const unsigned int code_ = (step);   \
    if (ur::Failed(code_)) return code_; \
  } while (0)

bool AllocateChannels(ZelMetadata& md, int levelsCount, int channels) {
  md.levelsCount = levelsCount;
  for (int c = 0; c < channels; ++c)
    if (!md.allocateChannel(c)) return false;
  return true;
}

// Occupancy, rank tables and highest ranks of a grey or colour image of 16-bit samples.
unsigned int AnalyseRanks(const ur::SxImageBuf& image, int levelsCount, ZelMetadata& md) {
  if (!AllocateChannels(md, levelsCount, image.channels)) return rc::Fail;
  unsigned short m[3] = {};
  int n[3] = {};
  RETURN_IF_FAILED(urs::zel::GetOccupiedLevels(
      image, md.occupied[0], md.occupied[1], md.occupied[2], levelsCount, m[0], m[1], m[2], false,
      kNoThreshold, kNoThreshold, kNoThreshold, kNoThreshold, kNoThreshold, kNoThreshold));
  RETURN_IF_FAILED(urs::zel::GetZelChannelMapping(md.occupied[0], md.occupied[1], md.occupied[2],
                                                  md.mapping[0], md.mapping[1], md.mapping[2],
                                                  levelsCount));
  RETURN_IF_FAILED(urs::zel::GetLevelsCount(md.occupied[0], md.occupied[1], md.occupied[2],
                                            levelsCount, n[0], n[1], n[2]));
  for (int c = 0; c < image.channels; ++c) md.normalization[c] = n[c] > 0 ? n[c] - 1 : 0;
  return rc::Ok;
}

unsigned int CompactRanks(const ur::SxImageBuf& image, const ZelMetadata& md,
                          ur::ScopedImageBuf& zel) {
  RETURN_IF_FAILED(ur::AllocBuffer(zel.get(), image.width, image.height, image.channels, 8,
                                   ur::eImageDataUInt8));
  if (ur::BytesPerSample(image.dataType) == 1)
    return urs::zel::Convert8ToZel8(CpuPluginId(), image, zel.get(), md.mapping[0], md.mapping[1],
                                    md.mapping[2], std::uint8_t(md.normalization[0]),
                                    std::uint8_t(md.normalization[1]),
                                    std::uint8_t(md.normalization[2]), urs::zel::Separated);
  return urs::zel::Convert16ToZel8(CpuPluginId(), image, zel.get(), md.mapping[0], md.mapping[1],
                                   md.mapping[2], md.normalization[0], md.normalization[1],
                                   md.normalization[2], urs::zel::Separated);
}

}  // namespace

unsigned int WriteRecordImage(const ur::SxImageBuf& source, ur::SxImageBuf& zel,
                              const ZelMetadata& md, bool demosaiced, const QString& path) {
  ur::CxImage output;
  const unsigned int made = urs::zel::CreateZelImageForSave8(
      ur::CxImage(source), QRect(0, 0, source.width, source.height), zel, output, md,
      source.bitDepth, demosaiced);
  if (made != rc::Ok) return made == rc::OkWithoutRecord ? rc::Fail : made;
  return urs::zel::WriteZelImage(output, path, nullptr);
}

unsigned long long CpuPluginId() {
  static const unsigned long long id = [] {
    urs::zel::InitPlugins(QStringLiteral(ZEL_PLUGIN_BIN_DIR));
    QVector<urs::zel::ZelPluginInfo> plugins;
    urs::zel::GetPlugins(plugins);
    for (const urs::zel::ZelPluginInfo& p : plugins)
      if (p.name == QStringLiteral("ZEL CPU")) return p.id;
    return 0ull;
  }();
  return id;
}

ur::ScopedImageBuf MakeMosaic(int width, int height, ur::ExBayerGrid grid, bool distinctGreens) {
  std::vector<std::uint16_t> s(std::size_t(width) * height);
  const char* letters = kGridLetters[grid];
  for (int y = 0; y < height; ++y) {
    // A green shares its row with red or with blue.
    const bool redRow = letters[(y & 1) * 2] == 'R' || letters[(y & 1) * 2 + 1] == 'R';
    for (int x = 0; x < width; ++x) {
      const char letter = letters[(y & 1) * 2 + (x & 1)];
      const int site = (x * 5 + y * 3) % 3;
      const int cell = (x / 2 + 2 * (y / 2)) % 3;
      std::uint16_t v = 0;
      if (letter == 'R')
        v = kRed[(x / 2 + y / 2) % 5];
      else if (letter == 'B')
        v = kBlue[site];
      else if (!distinctGreens)
        v = kGreenOfRedRows[cell];
      else
        v = redRow ? kGreenOfRedRows[site] : kGreenOfBlueRows[site];
      s[std::size_t(y) * width + x] = v;
    }
  }
  return MakeImage<std::uint16_t>({width, height, 1, 0, 2, kDepth12, grid}, s);
}

unsigned int WriteGreyZel(const ur::SxImageBuf& grey, int levelsCount, const QString& path,
                          const QVector<urs::InvalidPixel>& extraPixels) {
  ZelMetadata md;
  ur::ScopedImageBuf zel;
  RETURN_IF_FAILED(AnalyseRanks(grey, levelsCount, md));
  RETURN_IF_FAILED(CompactRanks(grey, md, zel));
  md.bayerGrid = ur::eBayerNone;
  md.invalidPixels = extraPixels;
  return WriteRecordImage(grey, zel.get(), md, false, path);
}

unsigned int WriteColourZel(const ur::SxImageBuf& mosaic, urs::zel::DemosaicAlgorithm algorithm,
                            const QString& path) {
  const bool half = algorithm == urs::zel::Simple;
  const QRect all(0, 0, mosaic.width, mosaic.height);
  ur::ScopedImageBuf rgb, zel;
  ZelMetadata md;
  RETURN_IF_FAILED(ur::AllocBuffer(rgb.get(), half ? mosaic.width / 2 : mosaic.width,
                                   half ? mosaic.height / 2 : mosaic.height, 3, kDepth12,
                                   ur::eImageDataUInt16));
  RETURN_IF_FAILED(half ? ur::DemosaicSimple(mosaic, all, rgb.get(), mosaic.bayerGrid)
                        : ur::Demosaic(mosaic, all, rgb.get()));
  RETURN_IF_FAILED(AnalyseRanks(rgb.get(), kLevels12, md));
  RETURN_IF_FAILED(CompactRanks(rgb.get(), md, zel));
  md.bayerGrid = mosaic.bayerGrid;
  md.debayer = algorithm;
  return WriteRecordImage(mosaic, zel.get(), md, true, path);
}

unsigned int WritePlaneZel(const ur::SxImageBuf& mosaic,
                           urs::zel::ZelChannelNormalization normalization, const QString& path) {
  const int pw = mosaic.width / 2, ph = mosaic.height / 2;
  ur::ScopedImageBuf planar, planar8, mosaic8;
  ZelMetadata md;
  if (!AllocateChannels(md, kLevels12, 4)) return rc::Fail;
  bool* const* occupied = md.occupied;
  unsigned short* const* mapping = md.mapping;
  unsigned short m[4] = {};
  int n[4] = {};
  RETURN_IF_FAILED(ur::AllocBuffer(planar.get(), pw, ph, 4, kDepth12, ur::eImageDataUInt16, 1));
  RETURN_IF_FAILED(ur::ConvertRawToPlanarRaw(mosaic, QRect(0, 0, mosaic.width, mosaic.height),
                                             mosaic.bayerGrid, planar.get()));
  RETURN_IF_FAILED(urs::zel::GetOccupiedLevelsRaw(
      planar.get(), occupied[0], occupied[1], occupied[2], occupied[3], kLevels12, m[0], m[1], m[2],
      m[3], false, kNoThreshold, kNoThreshold, kNoThreshold, kNoThreshold, kNoThreshold,
      kNoThreshold, kNoThreshold, kNoThreshold));
  RETURN_IF_FAILED(urs::zel::GetZel8ChannelMapping(occupied[0], occupied[1], occupied[2],
                                                   occupied[3], mapping[0], mapping[1], mapping[2],
                                                   mapping[3], kLevels12, normalization));
  RETURN_IF_FAILED(urs::zel::GetLevelsCount(occupied[0], occupied[1], occupied[2], occupied[3],
                                            kLevels12, n[0], n[1], n[2], n[3]));
  RETURN_IF_FAILED(ur::AllocBuffer(planar8.get(), pw, ph, 4, 8, ur::eImageDataUInt8, 1));
  RETURN_IF_FAILED(urs::zel::ConvertRawPlanar16ToRawPlanar8Zel(
      CpuPluginId(), planar.get(), planar8.get(), mapping[0], mapping[1], mapping[2], mapping[3]));
  RETURN_IF_FAILED(
      ur::AllocBuffer(mosaic8.get(), mosaic.width, mosaic.height, 1, 8, ur::eImageDataUInt8));
  RETURN_IF_FAILED(ur::ConvertPlanarRawToRaw(planar8.get(), mosaic8.get(), mosaic.bayerGrid));
  // The record keeps each plane's highest rank, or with Together the largest of them.
  const int most = *std::max_element(n, n + 4);
  for (int p = 0; p < 4; ++p) {
    const int count = normalization == urs::zel::Together ? most : n[p];
    md.normalization[p] = count > 0 ? count - 1 : 0;
  }
  md.zelType = 1;
  md.bayerGrid = mosaic.bayerGrid;
  return WriteRecordImage(mosaic, mosaic8.get(), md, false, path);
}

bool WriteDamagedZel(const QString& path) {
  ur::ScopedImageBuf pixels = MakeZeroImage<std::uint8_t>({4, 2});
  ur::CxImage image(pixels.get());
  const QByteArray text("<zel_md><processing levelsCount=");
  fipTag tag;
  const bool made = tag.setKey(urs::zel::kZelMetadataKey) && tag.setType(FIDT_ASCII) &&
                    tag.setCount(DWORD(text.size())) && tag.setLength(DWORD(text.size())) &&
                    tag.setValue(text.constData());
  return made &&
         ur::Succeeded(image.setMetadata(FIMD_COMMENTS,
                                         QString::fromLatin1(urs::zel::kZelMetadataKey), tag)) &&
         ur::Succeeded(image.save(path));
}

ur::ScopedImageBuf LoadTopDown(const QString& path) {
  ur::CxImage image;
  ur::SxImageBuf memory;
  ur::ScopedImageBuf out;
  if (ur::Failed(image.load(path)) || ur::Failed(image.getImageBuf(memory)) ||
      ur::Failed(ur::AllocAndCopyBuffer(memory, out.get())) ||
      ur::Failed(ur::ReverseRowOrder(out.get())))
    return ur::ScopedImageBuf();
  return out;
}

}  // namespace zel::testing
