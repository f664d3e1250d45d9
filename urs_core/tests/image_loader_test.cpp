#include <urs/image_loader.h>
#include <urs/matlab_image_loader.h>
#include <urs/matlab_image_saver.h>
#include <urs/matlab_metadata.h>

#include <ur/buffers.h>
#include <ur/rtti.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::Samples;

namespace {

class FileImageLoaderTest : public ::testing::Test {
protected:
  QString write(const QString& name, const QByteArray& text) {
    const QString path = m_dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
  }
  // Loads through the interface, as the conversion library does.
  bool load(const QString& path, ur::ScopedImageBuf& image, QString* message = nullptr) {
    const std::unique_ptr<urs::ImageLoader> loader(urs::ImageLoader::instance());
    return loader->load({{QStringLiteral("filename"), path}}, image.get(), message);
  }

  QTemporaryDir m_dir;
};

TEST_F(FileImageLoaderTest, ExplainsWhyNothingWasLoaded) {
  const std::unique_ptr<urs::ImageLoader> loader(urs::ImageLoader::instance());
  ur::ScopedImageBuf image;
  QString message;
  EXPECT_FALSE(loader->load({}, image.get(), &message));
  EXPECT_EQ(message, QStringLiteral("File name is not specified."));

  const QString missing = m_dir.filePath(QStringLiteral("missing.txt"));
  EXPECT_FALSE(load(missing, image, &message));
  EXPECT_EQ(message, QStringLiteral("Filename %1 does not exist.").arg(missing));

  const QString unreadable = write(QStringLiteral("broken.png"), "not a png");
  EXPECT_FALSE(load(unreadable, image, &message));
  EXPECT_EQ(message, QStringLiteral("Cannot load the %1.").arg(unreadable));
  EXPECT_EQ(image->data, nullptr);
  EXPECT_FALSE(load(unreadable, image));  // no message wanted: nothing written through null
}

TEST_F(FileImageLoaderTest, EveryInstanceIsANewQtObjectWithTheInterface) {
  const std::unique_ptr<urs::ImageLoader> a(urs::ImageLoader::instance());
  const std::unique_ptr<urs::ImageLoader> b(urs::ImageLoader::instance());
  EXPECT_NE(a.get(), b.get());
  auto* object = dynamic_cast<QObject*>(a.get());
  ASSERT_NE(object, nullptr);
  EXPECT_STREQ(object->metaObject()->className(), "urs::FileImageLoader");
  EXPECT_EQ(object->qt_metacast("ImageLoader"), static_cast<void*>(a.get()));
  EXPECT_EQ(qobject_cast<urs::ImageLoader*>(object), a.get());
}

TEST_F(FileImageLoaderTest, ReadsTextMatricesRowByRow) {
  // Upper-case suffix, CRLF line ends, blanks around values, an empty field.
  const QString path = write(QStringLiteral("m.TXT"), "1, 2,3\r\n4,,6e1\r\n");
  ur::ScopedImageBuf image;
  ASSERT_TRUE(load(path, image));
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(image->channels, 1);
  EXPECT_EQ(image->dataType, ur::eImageDataDouble);
  EXPECT_EQ(image->bitDepth, 64);
  EXPECT_EQ(image->planar, 0);
  EXPECT_EQ(Samples<double>(image.get()), (std::vector<double>{1, 2, 3, 4, 0, 60}));
}

TEST_F(FileImageLoaderTest, RaggedOrEmptyTextMatricesLeaveNoBuffer) {
  for (const QByteArray& text :
       {QByteArray("1,2,3\n4,5\n"), QByteArray("1,2\n3,4,5\n"), QByteArray()}) {
    ur::ScopedImageBuf image;
    EXPECT_FALSE(urs::LoadTextMatrix(write(QStringLiteral("r.txt"), text), image.get()))
        << text.data();
    EXPECT_EQ(image->data, nullptr);
  }
}

// Blank- and tab-separated columns, as scientific tools write them, and commas mixed with blanks:
// a run of blanks is one separator, a comma with blanks around it too, ",," encloses an empty
// value; blanks at the line ends and blank lines at the end of the file are nothing.
TEST_F(FileImageLoaderTest, ReadsBlankTabAndMixedSeparators) {
  struct Case {
    const char* what;
    QByteArray text;
    int width;
    std::vector<double> values;
  };
  for (const Case& c :
       {Case{"blanks and tabs", "  1  2\t3 \r\n4\t\t-5.5   6e-1\t\r\n\n  \n", 3,
             {1, 2, 3, 4, -5.5, 0.6}},
        Case{"mixed", "1 ,2  ,, 4\n5\t6 , 7 8\n,1 2,\n", 4, {1, 2, 0, 4, 5, 6, 7, 8, 0, 1, 2, 0}},
        Case{"one column", "7\n 8 \n", 1, {7, 8}}}) {
    SCOPED_TRACE(c.what);
    ur::ScopedImageBuf image;
    ASSERT_TRUE(load(write(QStringLiteral("s.txt"), c.text), image));
    EXPECT_EQ(image->width, c.width);
    EXPECT_EQ(image->height, int(c.values.size()) / c.width);
    EXPECT_EQ(Samples<double>(image.get()), c.values);
  }
}

// A value that is not a number, a blank line between rows or a ragged row fails the load, and the
// message names the file, the line and the column.
TEST_F(FileImageLoaderTest, BadTextMatrixIsRefusedWithItsLineAndColumn) {
  struct Case {
    QByteArray text;
    const char* reason;
  };
  for (const Case& c : {Case{"1 2 3\n4 5 6\n7 x8 9\n", "line 3, column 2: \"x8\" is not a number"},
                        Case{"1,2\n3,4;\n", "line 2, column 2: \"4;\" is not a number"},
                        Case{"1 2\n\n3 4\n", "line 2 holds no values"},
                        Case{"1 2\n3 4 5\n", "line 2 holds 3 values where line 1 holds 2"}}) {
    SCOPED_TRACE(c.reason);
    const QString path = write(QStringLiteral("bad.txt"), c.text);
    ur::ScopedImageBuf image;
    QString message;
    EXPECT_FALSE(load(path, image, &message));
    EXPECT_EQ(message,
              QStringLiteral("Cannot load the %1: %2.").arg(path, QLatin1String(c.reason)));
    EXPECT_EQ(image->data, nullptr);
  }
}

TEST(LibraryInit, RegistersTheMatlabClassesSoTheFormatManagerHandlesMatFiles) {
  ASSERT_TRUE(urs::Init());
  ASSERT_TRUE(urs::Init());  // registering again changes nothing
  ur::CxRtti* rtti = ur::CxRtti::instance();
  const auto registered = [&](const char* interfaceName, const QMetaObject& mo) {
    return rtti->classes(QLatin1String(interfaceName)).count(&mo);
  };
  EXPECT_EQ(registered("IxImageDataLoader", urs::matlab::CxMatlabImageLoader::staticMetaObject), 1);
  EXPECT_EQ(registered("IxImageDataSaver", urs::matlab::CxMatlabImageSaver::staticMetaObject), 1);
  EXPECT_EQ(registered("IxMetadataLoader", urs::matlab::CxMatlabMetadataLoader::staticMetaObject),
            1);
  EXPECT_EQ(registered("IxMetadataSaver", urs::matlab::CxMatlabMetadataSaver::staticMetaObject), 1);
  EXPECT_EQ(registered("IxMetadata", urs::matlab::CxMatlabImageMetadata::staticMetaObject), 1);
  EXPECT_EQ(rtti->customName(QStringLiteral("urs::matlab::CxMatlabImageLoader")),
            QStringLiteral("Matlab Image Loader"));
  EXPECT_TRUE(urs::Finish());

  // Through the front: saved by the format manager's temporary file and rename, read back.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("grey.mat"));
  auto grey = MakeImage<std::uint16_t>(ImageShape{3, 2, 1, 0, 4, 12}, {1, 2, 3, 4000, 5, 6});
  ASSERT_TRUE(urs::SaveImageToFile(path, grey.get(), nullptr, nullptr));
  ur::ScopedImageBuf loaded;
  ur::CxMetadata metadata;
  ASSERT_TRUE(urs::LoadImageFromFile(path, loaded.get(), &metadata));
  EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), Samples<std::uint16_t>(grey.get()));
  EXPECT_EQ(loaded->bitDepth, 12);
  EXPECT_NE(metadata.find<urs::matlab::CxMatlabImageMetadata>(), nullptr);
}

}  // namespace
