// Damaged and foreign files given to the HDF5 image loader: every operation fails with a
// message naming the file, and nothing crashes (the sanitizer build runs these too).

#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/log_capture.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using ur::ScopedImageBuf;
using zel::testing::LogCapture;

ur::CxImageFormatManager* Manager() { return ur::CxImageFormatManager::instance(); }

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// Every read operation of a loader on the file; none may succeed.
void ExpectEveryReadFails(const QString& path) {
  const auto loader = Manager()->createLoader(path);
  ASSERT_TRUE(loader);
  EXPECT_FALSE(loader->open());
  EXPECT_FALSE(loader->isOpen());
  ScopedImageBuf region;
  EXPECT_FALSE(loader->loadRoi(0, QRect(0, 0, 4, 4), region.get()));
  EXPECT_EQ(region->data, nullptr);
  ScopedImageBuf pixels;
  EXPECT_FALSE(Manager()->loadImageFromFile(path, pixels.get(), nullptr));
}

TEST(Hdf5Robustness, ForeignAndTruncatedFilesFailCleanly) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString source = dir.filePath(QStringLiteral("good.h5i"));
  std::vector<std::uint16_t> samples(640 * 480 * 3);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(i * 2654435761u);
  const ScopedImageBuf image = zel::testing::MakeImage<std::uint16_t>({640, 480, 3}, samples);
  ASSERT_TRUE(Manager()->saveImageToFile(source, image.get(), nullptr));
  QFile f(source);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  ASSERT_GT(bytes.size(), 4096);

  const QString damaged = dir.filePath(QStringLiteral("damaged.h5i"));
  const LogCapture log(QtCriticalMsg);
  WriteBytes(damaged, QByteArray("not an HDF5 file at all"));
  ExpectEveryReadFails(damaged);
  EXPECT_TRUE(LogCapture::contains(QStringLiteral("Not an HDF5 file. (%1)").arg(QDir::toNativeSeparators(damaged))));
  WriteBytes(damaged, QByteArray());
  ExpectEveryReadFails(damaged);

  // Cuts inside the superblock, the object headers and the chunked pixels.
  for (const int cut : {8, 64, 400, 1500, 4096, bytes.size() / 2, bytes.size() - 16}) {
    SCOPED_TRACE(cut);
    WriteBytes(damaged, bytes.left(cut));
    ExpectEveryReadFails(damaged);
  }
  // Bytes overwritten in the object headers and in the pixels: the file opens, but reading
  // fails, or gives other samples, and never crashes.
  for (const int at : {96, 300, 700, 1200, 2500, bytes.size() / 3}) {
    SCOPED_TRACE(at);
    QByteArray holed = bytes;
    holed.replace(at, 64, QByteArray(64, '\x5a'));
    WriteBytes(damaged, holed);
    const auto loader = Manager()->createLoader(damaged);
    if (loader->open()) {
      const std::unique_ptr<ur::CxImageData> data(loader->imageData(0));
      ASSERT_TRUE(data);
      EXPECT_EQ(data->image().width, 640);
    }
    ScopedImageBuf preview;
    loader->loadThumbnail(0, preview.get());
    ur::CxMetadata metadata;
    ur::SxImageInfo info;
    loader->loadMetadata(0, metadata, info);
  }
}

// Bytes changed at random over a whole file: every operation fails or reads something, and none
// crashes or hangs (a damaged heap once made the library loop for ever).
void DamageAtRandom(const QByteArray& bytes, const QString& damaged, int rounds) {
  std::uint64_t state = 12345;
  const auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return std::uint32_t(state >> 33);
  };
  for (int round = 0; round < rounds; ++round) {
    QByteArray copy = bytes;
    // Every other round hits the headers at the start of the file.
    const std::uint32_t span = round % 2 ? 4096u : std::uint32_t(copy.size());
    for (std::uint32_t k = 0, n = 1 + next() % 8; k < n; ++k) copy[int(next() % span)] = char(next());
    WriteBytes(damaged, copy);
    const auto loader = Manager()->createLoader(damaged);
    if (loader->open()) {
      const std::unique_ptr<ur::CxImageData> data(loader->imageData(0));
      EXPECT_TRUE(data && data->hasPixels());
    }
    ScopedImageBuf preview;
    loader->loadThumbnail(0, preview.get());
    ur::CxMetadata metadata;
    ur::SxImageInfo info;
    loader->loadMetadata(0, metadata, info);
    ur::CxImageHistogram histogram;
    loader->loadHistogram(0, histogram);
    ScopedImageBuf region;
    loader->loadRoi(0, QRect(10, 10, 50, 50), region.get());
    LogCapture::clear();
  }
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The saved file as written, and rewritten by h5repack in the original file format, whose
// structures carry no checksums: there every damaged size reaches the structure check.
TEST(Hdf5Robustness, RandomlyDamagedFilesNeverCrashOrHang) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString source = dir.filePath(QStringLiteral("good.h5i"));
  std::vector<std::uint8_t> samples(500 * 400 * 3);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint8_t((i * 2654435761u) >> 7);
  const ScopedImageBuf image = zel::testing::MakeImage<std::uint8_t>({500, 400, 3}, samples);
  ASSERT_TRUE(Manager()->saveImageToFile(source, image.get(), nullptr));
  const QString damaged = dir.filePath(QStringLiteral("damaged.h5i"));
  const LogCapture log(QtCriticalMsg);
  DamageAtRandom(ReadAll(source), damaged, 200);

  const QString legacy = dir.filePath(QStringLiteral("legacy.h5i"));
  if (QProcess::execute(QStringLiteral("h5repack"),
                        {QStringLiteral("--low=0"), QStringLiteral("--high=1"),
                         QStringLiteral("-f"), QStringLiteral("GZIP=6"), source, legacy}) != 0)
    GTEST_SKIP() << "h5repack (Debian hdf5-tools) is needed for the original file format";
  const QByteArray bytes = ReadAll(legacy);
  ASSERT_EQ(bytes.mid(8, 1), QByteArray(1, '\0')) << "not a version 0 superblock";
  ScopedImageBuf back;
  ASSERT_TRUE(Manager()->loadImageFromFile(legacy, back.get(), nullptr));
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(back.get()), samples);
  DamageAtRandom(bytes, damaged, 400);
}

}  // namespace
