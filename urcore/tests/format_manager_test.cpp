#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/format_manager.h>
#include <ur/plugin.h>
#include <ur/rtti.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using ur::CxImageData;
using ur::CxImageFormatManager;
using ur::CxMetadata;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::Samples;

// The fake "zt1" format: a small header, the metadata XML, then the rows without padding.
const QByteArray kZtMagic("ZT1\n");

bool WriteZt(const QString& path, const CxImageData& data) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const SxImageBuf& b = data.image();
  QDataStream out(&file);
  out.writeRawData(kZtMagic.constData(), kZtMagic.size());
  out << qint32(b.width) << qint32(b.height) << qint32(b.channels) << qint32(b.bitDepth)
      << qint32(b.dataType) << data.metadata().saveToXml(-1);
  const int rowBytes = int(ur::MinLinePitch(b));
  for (int y = 0; y < b.height; ++y)
    out.writeRawData(reinterpret_cast<const char*>(ur::RowPtr(b, y)), rowBytes);
  return out.status() == QDataStream::Ok;
}

std::unique_ptr<CxImageData> ReadZt(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.read(kZtMagic.size()) != kZtMagic) return nullptr;
  QDataStream in(&file);
  qint32 width = 0, height = 0, channels = 0, bits = 0, type = 0;
  QString xml;
  in >> width >> height >> channels >> bits >> type >> xml;
  ScopedImageBuf pixels;
  if (ur::Failed(ur::AllocBuffer(pixels.get(), width, height, channels, bits,
                                 ur::ExImageDataType(type))))
    return nullptr;
  const int bytes = int(ur::BufferBytes(pixels.get()));
  if (in.readRawData(reinterpret_cast<char*>(pixels->data), bytes) != bytes) return nullptr;
  auto data = std::make_unique<CxImageData>();
  CxMetadata metadata;
  if (metadata.loadFromXml(xml)) data->setMetadata(metadata);
  data->setImageShallow(pixels.release(), 0, 0, QDateTime::currentDateTime());
  return data;
}

// Loader and saver base: keeps the loaded object, lists the suffixes it is given.
class ZtLoaderBase : public ur::IxImageDataLoader {
  Q_OBJECT
public:
  using IxImageDataLoader::IxImageDataLoader;
  bool isOpen() const override { return m_data != nullptr; }
  void close() override { m_data.reset(); }
  CxImageData* imageData(int) override { return m_data ? m_data->clone(nullptr) : nullptr; }

protected:
  std::unique_ptr<CxImageData> m_data;
};

class ZtLoader : public ZtLoaderBase {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtLoader(QObject* parent = nullptr) : ZtLoaderBase(parent) {}
  bool open() override { return (m_data = ReadZt(m_fileName)) != nullptr; }
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("ZT (*.zt1)"), 1}}; }
};

// Registered before ZtLoader for the same suffix, and always fails: only the preference makes
// "zt1" files load.
class ZtShadowLoader : public ZtLoaderBase {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtShadowLoader(QObject* parent = nullptr) : ZtLoaderBase(parent) {}
  bool open() override { return false; }
  ur::FileFormatList fileFormats() const override {
    return {{QStringLiteral("ZT shadows (*.zt1 *.zt2)"), 1}};
  }
};

// Opens, but has no pixels to give.
class ZtEmptyLoader : public ZtLoaderBase {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtEmptyLoader(QObject* parent = nullptr) : ZtLoaderBase(parent) {}
  bool open() override {
    m_data = std::make_unique<CxImageData>();
    return true;
  }
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("ZT (*.zt3)"), 1}}; }
};

class ZtSaver : public ur::IxImageDataSaver {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtSaver(QObject* parent = nullptr) : IxImageDataSaver(parent) {}
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("ZT (*.zt1)"), 1}}; }
  bool saveImageData(const ur::IxData* data, int) override {
    const auto* image = qobject_cast<const CxImageData*>(data);
    return image && WriteZt(m_fileName, *image);
  }
};

// Writes part of a file, then fails, as a saver does when the disk fills up.
class ZtFailingSaver : public ur::IxImageDataSaver {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtFailingSaver(QObject* parent = nullptr) : IxImageDataSaver(parent) {}
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("ZT (*.zt4)"), 1}}; }
  bool saveImageData(const ur::IxData*, int) override {
    QFile file(m_fileName);
    if (file.open(QIODevice::WriteOnly)) file.write("half a file");
    return false;
  }
};

// A late format, registered only after the suffix table was first built.
class ZtLateLoader : public ZtLoader {
  Q_OBJECT
public:
  Q_INVOKABLE explicit ZtLateLoader(QObject* parent = nullptr) : ZtLoader(parent) {}
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("ZT (*.zt5)"), 1}}; }
};

class ZtPlugin : public ur::CxPlugin {
public:
  bool registerClasses() override {
    ur::CxRtti* rtti = ur::CxRtti::instance();
    const QString loaders = QStringLiteral("IxImageDataLoader");
    const QString savers = QStringLiteral("IxImageDataSaver");
    return rtti->registerClass(this, ZtShadowLoader::staticMetaObject, loaders) &&
           rtti->registerClass(this, ZtLoader::staticMetaObject, loaders) &&
           rtti->registerClass(this, ZtEmptyLoader::staticMetaObject, loaders) &&
           rtti->registerClass(this, ZtSaver::staticMetaObject, savers) &&
           rtti->registerClass(this, ZtFailingSaver::staticMetaObject, savers);
  }
  QString name() const override { return QStringLiteral("ZT test formats"); }
};

template <typename T>
QString NameOf() {
  return QString::fromLatin1(T::staticMetaObject.className());
}

QString ClassOf(const QObject* o) { return o ? QString::fromLatin1(o->metaObject()->className()) : QString(); }

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class FormatManager : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // The fake formats must not depend on which real plug-ins lie next to the test binary:
    // loading from an empty folder counts as "plug-ins loaded", so none are loaded on first use.
    static QTemporaryDir noPlugins;
    ur::LoadFormatPlugins(noPlugins.path());
    s_plugin = new ZtPlugin();
    s_plugin->registerClasses();
  }
  static void TearDownTestSuite() {
    ur::CxRtti::instance()->unregisterClasses(s_plugin);
    delete s_plugin;
    s_plugin = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_manager->setPreferredLoader(QStringLiteral("zt1"), NameOf<ZtLoader>());
  }
  QString path(const QString& name) const { return m_dir.filePath(name); }
  QStringList filesInDir() const {
    return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  }

  static ZtPlugin* s_plugin;
  CxImageFormatManager* m_manager = CxImageFormatManager::instance();
  QTemporaryDir m_dir;
};
ZtPlugin* FormatManager::s_plugin = nullptr;

TEST_F(FormatManager, PreferredLoaderWinsOverTheFirstRegisteredOne) {
  m_manager->setPreferredLoader(QStringLiteral("zt1"), QString());
  EXPECT_EQ(ClassOf(m_manager->createLoader(path("a.zt1")).get()), NameOf<ZtShadowLoader>());

  m_manager->setPreferredLoader(QStringLiteral(".ZT1"), NameOf<ZtLoader>());
  const auto loader = m_manager->createLoader(path("b.Zt1"));  // suffixes ignore case
  EXPECT_EQ(ClassOf(loader.get()), NameOf<ZtLoader>());
  ASSERT_NE(loader, nullptr);
  EXPECT_EQ(loader->filename(), path("b.Zt1"));
  EXPECT_EQ(m_manager->createLoader(path("noext")), nullptr);
}

TEST_F(FormatManager, SavedImageLoadsBackWithItsMetadata) {
  const ScopedImageBuf image =
      MakeImage<std::uint16_t>(ImageShape{3, 2, 1, 0, 6, 12}, {1, 2, 3, 4000, 5, 6});
  auto* record = new ur::CxCommonImageMetadata();
  record->cameraModel = QStringLiteral("ZT-1");
  CxMetadata metadata;
  metadata.addItem(record);
  ASSERT_TRUE(m_manager->saveImageToFile(path("round.zt1"), image.get(), &metadata));

  ScopedImageBuf loaded;
  CxMetadata loadedMetadata;
  ASSERT_TRUE(m_manager->loadImageFromFile(path("round.zt1"), loaded.get(), &loadedMetadata));
  EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), Samples<std::uint16_t>(image.get()));
  EXPECT_EQ(loaded->bitDepth, 12);
  ASSERT_NE(loadedMetadata.find<ur::CxCommonImageMetadata>(), nullptr);
  EXPECT_EQ(loadedMetadata.find<ur::CxCommonImageMetadata>()->cameraModel, QStringLiteral("ZT-1"));
  // The caller's pixels were only lent to the saver: still ours, freed once by the guard.
  EXPECT_EQ(image->data[0], 1);
}

TEST_F(FormatManager, FailedLoadsGiveFalseAndAnEmptyBuffer) {
  for (const QString& name : {QStringLiteral("x.unknownsuffix"), QStringLiteral("x.zt2"),
                             QStringLiteral("x.zt3"), QStringLiteral("missing.zt1")}) {
    SCOPED_TRACE(name.toStdString());
    if (!name.startsWith(QLatin1String("missing"))) WriteAll(path(name), "whatever");
    SxImageBuf buffer;
    buffer.width = 7;  // a stale description must not survive
    CxMetadata metadata;
    EXPECT_FALSE(m_manager->loadImageFromFile(path(name), buffer, &metadata));
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.width, 0);
  }
}

TEST_F(FormatManager, FailedSaveLeavesTheExistingFileAndNoTemporaryFile) {
  const ScopedImageBuf image = MakeImage<std::uint8_t>(ImageShape{2, 2}, {1, 2, 3, 4});
  const QByteArray known("known bytes");
  for (const QString& name : {QStringLiteral("target.zt4"), QStringLiteral("target.unknownsuffix")}) {
    SCOPED_TRACE(name.toStdString());
    WriteAll(path(name), known);
    EXPECT_FALSE(m_manager->saveImageToFile(path(name), image.get()));
    EXPECT_EQ(ReadAll(path(name)), known);
    EXPECT_EQ(filesInDir(), QStringList{name});
    QFile::remove(path(name));
  }
  EXPECT_FALSE(m_manager->saveImageToFile(path("nopixels.zt1"), SxImageBuf{}));
  EXPECT_TRUE(filesInDir().isEmpty());
}

TEST_F(FormatManager, SuccessfulSaveReplacesTheFileAndLeavesNoTemporaryFile) {
  const ScopedImageBuf image = MakeImage<std::uint8_t>(ImageShape{2, 2}, {1, 2, 3, 4});
  WriteAll(path("target.zt1"), "known bytes");
  ASSERT_TRUE(m_manager->saveImageToFile(path("target.zt1"), image.get()));
  EXPECT_TRUE(ReadAll(path("target.zt1")).startsWith(kZtMagic));
  EXPECT_EQ(filesInDir(), QStringList{QStringLiteral("target.zt1")});
}

TEST_F(FormatManager, SuffixListsFollowTheRegistry) {
  const QStringList loaders = m_manager->loaderSuffixes();
  for (const char* s : {"zt1", "zt2", "zt3"}) EXPECT_TRUE(loaders.contains(QLatin1String(s))) << s;
  const QStringList savers = m_manager->saverSuffixes();
  EXPECT_TRUE(savers.contains(QStringLiteral("zt4")));
  EXPECT_FALSE(savers.contains(QStringLiteral("zt2")));
  EXPECT_FALSE(loaders.contains(QStringLiteral("zt5")));

  ur::CxRtti::instance()->registerClass(s_plugin, ZtLateLoader::staticMetaObject,
                                        QStringLiteral("IxImageDataLoader"));
  EXPECT_TRUE(m_manager->loaderSuffixes().contains(QStringLiteral("zt5")));
  EXPECT_EQ(ClassOf(m_manager->createLoader(path("late.zt5")).get()), NameOf<ZtLateLoader>());
}

TEST(FormatPlugins, EmptyFolderLoadsNothingAndABrokenModuleIsNamedOnce) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EXPECT_EQ(ur::LoadFormatPlugins(dir.path()), 0);

  WriteAll(dir.filePath("urpbroken.so"), "not a shared library");
  WriteAll(dir.filePath("libother.so"), "not named like a format plug-in");
  const zel::testing::LogCapture capture(QtWarningMsg);
  EXPECT_EQ(ur::LoadFormatPlugins(dir.path()), 0);
  ASSERT_EQ(capture.lines().size(), 1);
  EXPECT_TRUE(capture.lines()[0].contains(QStringLiteral("urpbroken.so")));
  EXPECT_EQ(ur::LoadFormatPlugins(dir.path()), 0);
  EXPECT_EQ(capture.lines().size(), 1);  // each module is tried once per process
}

}  // namespace

#include "format_manager_test.moc"
