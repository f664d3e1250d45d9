#include <urs/matlab_file.h>
#include <urs/matlab_image_loader.h>
#include <urs/matlab_image_saver.h>
#include <urs/matlab_metadata.h>

#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/image_data.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <matio.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

namespace {

struct VarFree {
  void operator()(matvar_t* v) const { Mat_VarFree(v); }
};
using Var = std::unique_ptr<matvar_t, VarFree>;
struct MatCloser {
  void operator()(mat_t* m) const { Mat_Close(m); }
};
using Mat = std::unique_ptr<mat_t, MatCloser>;

// Reads a variable with matio itself, independently of the code under test.
Var ReadVar(const QString& path, const char* name) {
  const Mat mat(Mat_Open(path.toLocal8Bit().constData(), MAT_ACC_RDONLY));
  return Var(mat ? Mat_VarRead(mat.get(), name) : nullptr);
}

template <typename T>
T Element(const matvar_t& v, std::size_t row, std::size_t col) {
  return static_cast<const T*>(v.data)[col * v.dims[0] + row];
}

// Writes a rows x cols matrix (column-major data) with matio itself.
template <typename T>
void WriteVar(mat_t* mat, const char* name, matio_classes cls, matio_types type, std::size_t rows,
              std::size_t cols, std::vector<T> data) {
  std::size_t dims[2] = {rows, cols};
  const Var var(Mat_VarCreate(name, cls, type, 2, dims, data.data(), 0));
  ASSERT_TRUE(var);
  ASSERT_EQ(Mat_VarWrite(mat, var.get(), MAT_COMPRESSION_NONE), 0);
}

const char kTwoChannelRecord[] =
    "<ur_metadata version=\"1\"><item type=\"urs::matlab::CxMatlabImageMetadata\">"
    "<reverse_rows>false</reverse_rows><orig_channels>2</orig_channels>"
    "<saved_channels>2</saved_channels></item></ur_metadata>";

class MatlabTest : public ::testing::Test {
protected:
  QString path(const QString& name) const { return m_dir.filePath(name); }

  bool save(const ur::SxImageBuf& image, const QString& file, const ur::SaveOptions& options = {},
            const ur::CxMetadata& metadata = {}) {
    ur::CxImageData data;
    EXPECT_TRUE(data.setImage(image, QDateTime::currentDateTime()));
    data.setMetadata(metadata);
    urs::matlab::CxMatlabImageSaver saver;
    saver.setFilename(path(file));
    saver.setOptions(options);
    return saver.saveImageData(&data, 0);
  }

  bool load(const QString& file, ur::ScopedImageBuf& image, ur::CxMetadata* metadata = nullptr) {
    bool isEntropy = true;
    const bool ok = urs::matlab::LoadImageFromMat(path(file), image.get(), isEntropy, metadata);
    EXPECT_FALSE(isEntropy);
    return ok;
  }

  Mat create(const QString& file) {
    return Mat(static_cast<mat_t*>(urs::matlab::MatOpenWrite(path(file))));
  }

  QTemporaryDir m_dir;
};

TEST_F(MatlabTest, GreyImageIsStoredTransposedWithTheRowOrderAskedFor) {
  // 4 x 3, padded rows; the samples reach 10 bits while the image claims 12.
  auto image = MakeImage<std::uint16_t>(ImageShape{4, 3, 1, 0, 6, 12},
                                        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 1000});
  ur::CxMetadata given;  // its text must survive as UTF-8
  auto record = std::make_unique<ur::CxCommonImageMetadata>();
  record->author = QStringLiteral("Zoë Ørsted");
  given.addItem(std::move(record));
  for (const bool reverse : {true, false}) {
    SCOPED_TRACE(reverse);
    ASSERT_TRUE(save(image.get(), QStringLiteral("grey.mat"),
                     {{QStringLiteral("reverse_rows"), reverse}}, given));

    const Var var = ReadVar(path(QStringLiteral("grey.mat")), "ur_image_channel_1");
    ASSERT_TRUE(var);
    EXPECT_EQ(var->class_type, MAT_C_UINT16);
    ASSERT_EQ(var->dims[0], 3u);  // rows = image height
    ASSERT_EQ(var->dims[1], 4u);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(Element<std::uint16_t>(*var, reverse ? 2 - y : y, x),
                  SampleAt<std::uint16_t>(image.get(), x, y));
    const Var text = ReadVar(path(QStringLiteral("grey.mat")), "ur_image_metadata");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->class_type, MAT_C_CHAR);
    const QString xml = QString::fromUtf8(static_cast<const char*>(text->data), int(text->dims[1]));
    for (const QString& element :
         {QStringLiteral("<reverse_rows>%1</reverse_rows>").arg(reverse ? "true" : "false"),
          QStringLiteral("<orig_channels>1</orig_channels>"),
          QStringLiteral("<saved_channels>1</saved_channels>")})
      EXPECT_TRUE(xml.contains(element)) << element.toStdString();

    ur::ScopedImageBuf loaded;
    ur::CxMetadata metadata;
    ASSERT_TRUE(load(QStringLiteral("grey.mat"), loaded, &metadata));
    EXPECT_EQ(loaded->width, 4);
    EXPECT_EQ(loaded->height, 3);
    EXPECT_EQ(loaded->dataType, ur::eImageDataUInt16);
    EXPECT_EQ(loaded->bitDepth, 12);
    EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), Samples<std::uint16_t>(image.get()));
    ASSERT_NE(metadata.find<urs::matlab::CxMatlabImageMetadata>(), nullptr);
    EXPECT_EQ(metadata.find<urs::matlab::CxMatlabImageMetadata>()->reverseRows, reverse);
    ASSERT_NE(metadata.find<ur::CxCommonImageMetadata>(), nullptr);
    EXPECT_EQ(metadata.find<ur::CxCommonImageMetadata>()->author, QStringLiteral("Zoë Ørsted"));
  }
}

TEST_F(MatlabTest, ColourImagesAreStoredAsFullSizePlanes) {
  // Interleaved 8-bit colour (B, G, R in memory) becomes planes R, G, B of the same size.
  auto bgr = MakeImage<std::uint8_t>(
      ImageShape{3, 2, 3}, {1, 11, 21, 2, 12, 22, 3, 13, 23, 4, 14, 24, 5, 15, 25, 6, 16, 26});
  ASSERT_TRUE(save(bgr.get(), QStringLiteral("bgr.mat")));
  ur::ScopedImageBuf loaded;
  ur::CxMetadata metadata;
  ASSERT_TRUE(load(QStringLiteral("bgr.mat"), loaded, &metadata));
  EXPECT_EQ(loaded->width, 3);
  EXPECT_EQ(loaded->height, 2);
  EXPECT_EQ(loaded->channels, 3);
  EXPECT_EQ(loaded->planar, 1);
  EXPECT_EQ(Samples<std::uint8_t>(loaded.get()),
            (std::vector<std::uint8_t>{21, 22, 23, 24, 25, 26, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4,
                                       5, 6}));
  EXPECT_EQ(metadata.find<urs::matlab::CxMatlabImageMetadata>()->savedChannels, 3);
}

TEST_F(MatlabTest, BayerMosaicIsStoredAsPlanesAndRebuiltFromItsRecord) {
  std::vector<std::uint16_t> samples(6 * 4);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(40 * i + 3);
  auto mosaic = MakeImage<std::uint16_t>(ImageShape{6, 4, 1, 0, 2, 12, ur::eBayerRGGB}, samples);
  ASSERT_TRUE(save(mosaic.get(), QStringLiteral("raw.mat")));

  const Var red = ReadVar(path(QStringLiteral("raw.mat")), "ur_image_channel_1");
  ASSERT_TRUE(red);
  ASSERT_EQ(red->dims[0], 2u);
  ASSERT_EQ(red->dims[1], 3u);
  // RGGB: red sits at even columns of even rows; the rows were written bottom-up.
  EXPECT_EQ(Element<std::uint16_t>(*red, 1, 2), SampleAt<std::uint16_t>(mosaic.get(), 4, 0));
  EXPECT_TRUE(ReadVar(path(QStringLiteral("raw.mat")), "ur_image_channel_4"));

  ur::ScopedImageBuf loaded;
  ASSERT_TRUE(load(QStringLiteral("raw.mat"), loaded));
  EXPECT_EQ(loaded->width, 6);
  EXPECT_EQ(loaded->height, 4);
  EXPECT_EQ(loaded->channels, 1);
  EXPECT_EQ(loaded->planar, 0);
  EXPECT_EQ(loaded->bayerGrid, ur::eBayerRGGB);
  EXPECT_EQ(loaded->bitDepth, 12);
  EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), samples);
}

// A name given with "matname" is found again by the loader, for one plane and for the planes of
// a mosaic; files saved under the default name read as before.
TEST_F(MatlabTest, ImageSavedUnderItsOwnNameReadsBack) {
  auto grey = MakeImage<std::uint16_t>(ImageShape{3, 2, 1, 0, 0, 10}, {1, 2, 3, 4, 5, 1000});
  std::vector<std::uint16_t> samples(4 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(300 * i + 7);
  auto mosaic = MakeImage<std::uint16_t>(ImageShape{4, 2, 1, 0, 0, 12, ur::eBayerGRBG}, samples);
  for (const ur::ScopedImageBuf* image : {&grey, &mosaic}) {
    SCOPED_TRACE((*image)->channels == 1 && (*image)->bayerGrid == ur::eBayerNone ? "grey"
                                                                                   : "mosaic");
    ASSERT_TRUE(save(image->get(), QStringLiteral("named.mat"),
                     {{QStringLiteral("matname"), QStringLiteral("frame")}}));
    EXPECT_TRUE(ReadVar(path(QStringLiteral("named.mat")), "frame_channel_1"));
    EXPECT_FALSE(ReadVar(path(QStringLiteral("named.mat")), "ur_image_channel_1"));
    ur::ScopedImageBuf loaded;
    ASSERT_TRUE(load(QStringLiteral("named.mat"), loaded));
    EXPECT_EQ(loaded->width, (*image)->width);
    EXPECT_EQ(loaded->height, (*image)->height);
    EXPECT_EQ(loaded->bayerGrid, (*image)->bayerGrid);
    EXPECT_EQ(loaded->bitDepth, (*image)->bitDepth);
    EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), Samples<std::uint16_t>(image->get()));
  }
}

// An odd-sized mosaic cannot be split into whole planes; refusing it keeps the earlier file.
TEST_F(MatlabTest, OddMosaicIsRefusedAndAnEarlierFileStays) {
  std::vector<std::uint16_t> samples(6 * 4, 7);
  auto even = MakeImage<std::uint16_t>(ImageShape{6, 4, 1, 0, 2, 12, ur::eBayerRGGB}, samples);
  ASSERT_TRUE(save(even.get(), QStringLiteral("raw.mat")));
  QFile file(path(QStringLiteral("raw.mat")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray before = file.readAll();
  file.close();

  std::vector<std::uint16_t> odd(5 * 3, 9);
  auto mosaic = MakeImage<std::uint16_t>(ImageShape{5, 3, 1, 0, 2, 12, ur::eBayerRGGB}, odd);
  EXPECT_FALSE(save(mosaic.get(), QStringLiteral("raw.mat")));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), before);
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("raw.mat")});
}

TEST_F(MatlabTest, Int64ImagesAreWrittenButNotReadBack) {
  ur::ScopedImageBuf image;
  ASSERT_FALSE(ur::Failed(
      ur::AllocBuffer(image.get(), 2, 2, 1, 64, ur::eImageDataInt64, 0, ur::eBayerNone, true)));
  {
    const Mat mat = create(QStringLiteral("i64.mat"));
    ur::SxImageInfo saved;
    ASSERT_TRUE(urs::matlab::AddImage(mat.get(), image.get(), QStringLiteral("ur_image"), false,
                                      saved, false));
    EXPECT_EQ(saved.channels, 1);
  }
  const Var var = ReadVar(path(QStringLiteral("i64.mat")), "ur_image_channel_1");
  ASSERT_TRUE(var);
  EXPECT_EQ(var->class_type, MAT_C_INT64);

  ur::ScopedImageBuf loaded;
  EXPECT_FALSE(load(QStringLiteral("i64.mat"), loaded));
  EXPECT_EQ(loaded->data, nullptr);
  QString reason;
  bool isEntropy = false;
  EXPECT_FALSE(urs::matlab::LoadImageFromMat(path(QStringLiteral("i64.mat")), loaded.get(),
                                             isEntropy, nullptr, &reason));
  EXPECT_EQ(reason, QStringLiteral("MATLAB variable 'ur_image_channel_1' holds 64-bit integers: "
                                   "not supported"));
  ur::SxImageInfo unused;
  EXPECT_FALSE(
      urs::matlab::AddImage(nullptr, image.get(), QStringLiteral("x"), false, unused, false));
}

TEST_F(MatlabTest, ChannelsNamedByTheRecordMustAgreeInClassAndSize) {
  struct Case {
    const char* what;
    matio_classes cls2;
    matio_types type2;
    std::size_t rows2, cols2;
    bool loads;
  };
  for (const Case& c : {Case{"alike", MAT_C_UINT8, MAT_T_UINT8, 2, 3, true},
                        Case{"other class", MAT_C_UINT16, MAT_T_UINT16, 2, 3, false},
                        Case{"other size", MAT_C_UINT8, MAT_T_UINT8, 3, 2, false}}) {
    SCOPED_TRACE(c.what);
    {
      const Mat mat = create(QStringLiteral("two.mat"));
      WriteVar<std::uint8_t>(mat.get(), "ur_image_channel_1", MAT_C_UINT8, MAT_T_UINT8, 2, 3,
                             {1, 2, 3, 4, 5, 6});
      if (c.cls2 == MAT_C_UINT8)
        WriteVar<std::uint8_t>(mat.get(), "ur_image_channel_2", c.cls2, c.type2, c.rows2, c.cols2,
                               {7, 8, 9, 10, 11, 12});
      else
        WriteVar<std::uint16_t>(mat.get(), "ur_image_channel_2", c.cls2, c.type2, c.rows2, c.cols2,
                                {7, 8, 9, 10, 11, 12});
      ASSERT_TRUE(urs::matlab::AddVar(mat.get(), QString::fromLatin1(kTwoChannelRecord),
                                      QStringLiteral("ur_image_metadata")));
    }
    ur::ScopedImageBuf loaded;
    EXPECT_EQ(load(QStringLiteral("two.mat"), loaded), c.loads);
    if (!c.loads) {
      EXPECT_EQ(loaded->data, nullptr);
      continue;
    }
    EXPECT_EQ(loaded->channels, 2);
    EXPECT_EQ(loaded->planar, 1);
    EXPECT_EQ(Samples<std::uint8_t>(loaded.get()),
              (std::vector<std::uint8_t>{1, 3, 5, 2, 4, 6, 7, 9, 11, 8, 10, 12}));
  }
}

TEST_F(MatlabTest, EntropyImagesBecomeAMosaicOrAColourImage) {
  std::vector<double> planes[4];
  {
    const Mat mat = create(QStringLiteral("pig.mat"));
    const char* names[] = {"PIG_channel_R", "PIG_channel_G1", "PIG_channel_B", "PIG_channel_G2"};
    for (int p = 0; p < 4; ++p) {
      for (int i = 0; i < 6; ++i) planes[p].push_back(10.0 * p + i + 0.5);
      ASSERT_TRUE(urs::matlab::AddVar(mat.get(), planes[p].data(), 2, 3, QLatin1String(names[p])));
    }
  }
  ur::ScopedImageBuf image;
  bool isEntropy = false;
  ASSERT_TRUE(urs::matlab::LoadImageFromMat(path(QStringLiteral("pig.mat")), image.get(), isEntropy,
                                            nullptr));
  EXPECT_TRUE(isEntropy);
  EXPECT_EQ(image->channels, 4);
  EXPECT_EQ(image->planar, 1);
  EXPECT_EQ(image->dataType, ur::eImageDataDouble);

  urs::matlab::CxMatlabImageLoader loader;
  loader.setFilename(path(QStringLiteral("pig.mat")));
  ASSERT_TRUE(loader.open());
  const std::unique_ptr<ur::CxImageData> data(loader.imageData(0));
  ASSERT_TRUE(data);
  const ur::SxImageBuf& mosaic = data->image();
  ASSERT_EQ(mosaic.width, 6);
  ASSERT_EQ(mosaic.height, 4);
  EXPECT_EQ(mosaic.channels, 1);
  EXPECT_EQ(mosaic.bayerGrid, ur::eBayerBGGR);
  // Plane element (row 1, column 2) is picture (2, 1) of the plane; in a BGGR cell red is at
  // (1, 1), the green beside it at (0, 1), blue at (0, 0) and the other green at (1, 0).
  EXPECT_EQ(SampleAt<double>(mosaic, 5, 3), planes[0][5]);
  EXPECT_EQ(SampleAt<double>(mosaic, 4, 3), planes[1][5]);
  EXPECT_EQ(SampleAt<double>(mosaic, 4, 2), planes[2][5]);
  EXPECT_EQ(SampleAt<double>(mosaic, 5, 2), planes[3][5]);

  {
    const Mat mat = create(QStringLiteral("pdg.mat"));
    for (int c = 0; c < 3; ++c)
      ASSERT_TRUE(urs::matlab::AddVar(mat.get(), planes[c].data(), 2, 3,
                                      QStringLiteral("PDG_channel_%1").arg(c + 1)));
  }
  loader.setFilename(path(QStringLiteral("pdg.mat")));
  ASSERT_TRUE(loader.open());
  const std::unique_ptr<ur::CxImageData> colour(loader.imageData(0));
  ASSERT_TRUE(colour);
  EXPECT_EQ(colour->image().channels, 3);
  EXPECT_EQ(colour->image().planar, 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(SampleAt<double>(colour->image(), 2, 1, c), planes[c][5]);

  // Planes of different sizes are refused.
  {
    const Mat mat = create(QStringLiteral("bad.mat"));
    ASSERT_TRUE(
        urs::matlab::AddVar(mat.get(), planes[0].data(), 2, 3, QStringLiteral("PIG_channel_1")));
    ASSERT_TRUE(
        urs::matlab::AddVar(mat.get(), planes[1].data(), 3, 2, QStringLiteral("PIG_channel_2")));
  }
  ur::ScopedImageBuf refused;
  EXPECT_FALSE(urs::matlab::LoadImageFromMat(path(QStringLiteral("bad.mat")), refused.get(),
                                             isEntropy, nullptr));
  EXPECT_EQ(refused->data, nullptr);
}

TEST(MatlabMetadata, MissingElementIsLoggedWhileTheOthersAreStillRead) {
  QDomDocument doc;
  ASSERT_TRUE(doc.setContent(QStringLiteral(
      "<item><reverse_rows> TRUE </reverse_rows><saved_channels>3</saved_channels></item>")));
  urs::matlab::CxMatlabImageMetadata record;
  record.origChannels = 7;
  urs::matlab::CxMatlabMetadataLoader loader;
  const zel::testing::LogCapture capture(QtCriticalMsg);
  EXPECT_FALSE(loader.load(doc.documentElement(), &record));
  EXPECT_TRUE(record.reverseRows);
  EXPECT_EQ(record.origChannels, 7);
  EXPECT_EQ(record.savedChannels, 3);
  EXPECT_EQ(capture.lines(),
            QStringList{QStringLiteral("ERROR | Missing 'orig_channels' tag.")});
  EXPECT_FALSE(loader.load(doc.documentElement(), nullptr));
}

// The shared MATLAB samples, as their README describes them.
struct ExternalMat {
  const char* file;
  bool loads;
  int width, height;
  ur::ExImageDataType type;
};
const ExternalMat kExternal[] = {
    {"halide_matrix_3200.mat", true, 3, 4, ur::eImageDataFloat},
    {"matfile_double_as_uint8.mat", true, 2, 2, ur::eImageDataDouble},
    {"matio_test_file_compressed.mat", true, 10, 5, ur::eImageDataDouble},
    {"matio_test_file_v6.mat", true, 10, 5, ur::eImageDataDouble},
    {"matjl_v6_simple_allclasses.mat", true, 1, 1, ur::eImageDataInt8},
    {"scipy_big_endian.mat", true, 2, 2, ur::eImageDataFloat},
    {"scipy_test3dmatrix_7.4_GLNX86.mat", false, 0, 0, ur::eImageDataUnknown},
    {"scipy_testhdf5_7.4_GLNX86.mat", true, 9, 1, ur::eImageDataDouble},
    {"scipy_testmatrix_4.2c_SOL2.mat", true, 5, 3, ur::eImageDataDouble},
    {"scipy_testmatrix_7.4_GLNX86.mat", true, 5, 3, ur::eImageDataDouble},
    {"scipy_testsparse_7.4_GLNX86.mat", false, 0, 0, ur::eImageDataUnknown},
    {"scipy_teststring_7.4_GLNX86.mat", false, 0, 0, ur::eImageDataUnknown},
};

QString ExternalPath(const char* file) {
  return zel::testing::TestDataPath(QStringLiteral("external/mat/%1").arg(QLatin1String(file)));
}

TEST(MatlabExternalFiles, LoadWithTheirStatedShapeOrAreRefused) {
  ZEL_REQUIRE_TESTDATA(ExternalPath(kExternal[0].file));
  for (const ExternalMat& e : kExternal) {
    SCOPED_TRACE(e.file);
    ur::ScopedImageBuf image;
    bool isEntropy = true;
    ASSERT_EQ(urs::matlab::LoadImageFromMat(ExternalPath(e.file), image.get(), isEntropy, nullptr),
              e.loads);
    EXPECT_FALSE(isEntropy);
    if (!e.loads) {
      EXPECT_EQ(image->data, nullptr);
      continue;
    }
    EXPECT_EQ(image->width, e.width);
    EXPECT_EQ(image->height, e.height);
    EXPECT_EQ(image->channels, 1);
    EXPECT_EQ(image->dataType, e.type);
  }
  // Element (row r, column c) is pixel (c, r): the first row of "d" is 1, 6, 11, ...
  ur::ScopedImageBuf d;
  bool isEntropy = false;
  ASSERT_TRUE(urs::matlab::LoadImageFromMat(ExternalPath("matio_test_file_v6.mat"), d.get(),
                                            isEntropy, nullptr));
  EXPECT_EQ(SampleAt<double>(d.get(), 9, 0), 46.0);
  EXPECT_EQ(SampleAt<double>(d.get(), 0, 4), 5.0);
}

// A refused file says which variable it holds and why that is no image; variables of other kinds
// in front of a matrix are passed over.
TEST(MatlabExternalFiles, RefusalsNameTheVariableAndWhatItIs) {
  ZEL_REQUIRE_TESTDATA(ExternalPath(kExternal[0].file));
  struct Case {
    const char* file;
    const char* reason;
  };
  for (const Case& c :
       {Case{"scipy_testsparse_7.4_GLNX86.mat",
             "MATLAB variable 'testsparse' is a sparse matrix: not supported"},
        Case{"scipy_test3dmatrix_7.4_GLNX86.mat",
             "MATLAB variable 'test3dmatrix' is a 3-D array: not supported"},
        Case{"scipy_teststring_7.4_GLNX86.mat",
             "MATLAB variable 'teststring' is a character array: not supported"}}) {
    SCOPED_TRACE(c.file);
    ur::ScopedImageBuf image;
    bool isEntropy = false;
    QString reason;
    EXPECT_FALSE(urs::matlab::LoadImageFromMat(ExternalPath(c.file), image.get(), isEntropy,
                                               nullptr, &reason));
    EXPECT_EQ(reason, QLatin1String(c.reason));
  }

  QTemporaryDir dir;
  const QString mixed = dir.filePath(QStringLiteral("mixed.mat"));
  {
    const Mat mat(static_cast<mat_t*>(urs::matlab::MatOpenWrite(mixed)));
    ASSERT_TRUE(urs::matlab::AddVar(mat.get(), QStringLiteral("calibration run"),
                                    QStringLiteral("note")));
    WriteVar<std::uint8_t>(mat.get(), "frame", MAT_C_UINT8, MAT_T_UINT8, 1, 2, {9, 4});
  }
  ur::ScopedImageBuf image;
  bool isEntropy = false;
  ASSERT_TRUE(urs::matlab::LoadImageFromMat(mixed, image.get(), isEntropy, nullptr));
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{9, 4}));
}

TEST(MatlabExternalFiles, TruncatedCopiesAndMissingFilesFailCleanly) {
  ZEL_REQUIRE_TESTDATA(ExternalPath(kExternal[0].file));
  QTemporaryDir dir;
  const QString copy = dir.filePath(QStringLiteral("cut.mat"));
  for (const ExternalMat& e : kExternal) {
    QFile source(ExternalPath(e.file));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    for (const int length :
         {0, 8, 100, 127, 128, 136, 150, bytes.size() / 2, bytes.size() - 8, bytes.size() - 1}) {
      if (length < 0 || length >= bytes.size()) continue;
      SCOPED_TRACE(
          QStringLiteral("%1 cut at %2").arg(QLatin1String(e.file)).arg(length).toStdString());
      QFile cut(copy);
      ASSERT_TRUE(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
      cut.write(bytes.left(length));
      cut.close();

      ur::ScopedImageBuf image;
      bool isEntropy = false;
      if (!urs::matlab::LoadImageFromMat(copy, image.get(), isEntropy, nullptr)) {
        EXPECT_EQ(image->data, nullptr);
      }
      urs::matlab::CxMatlabImageLoader loader;
      loader.setFilename(copy);
      EXPECT_TRUE(loader.open());
      const std::unique_ptr<ur::CxImageData> data(loader.imageData(0));
      EXPECT_EQ(data != nullptr, loader.isOpen());
    }
  }
  ur::ScopedImageBuf image;
  bool isEntropy = false;
  EXPECT_FALSE(urs::matlab::LoadImageFromMat(dir.filePath(QStringLiteral("none.mat")), image.get(),
                                             isEntropy, nullptr));
}

// matio reads HDF5-based files through the HDF5 library, which copies an attribute's data by
// the sizes its datatype and dataspace claim: such a claim beyond the message is refused first.
TEST(MatlabExternalFiles, HdfBasedFileWithAnOversizedAttributeIsRefusedWithTheReason) {
  const QString sample = ExternalPath("scipy_testhdf5_7.4_GLNX86.mat");
  ZEL_REQUIRE_TESTDATA(sample);
  QFile source(sample);
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  QByteArray bytes = source.readAll();
  // A version 1 attribute message: version, reserved, name size 13, then the name padded to
  // 16 bytes and the datatype, whose size field follows its first four bytes.
  const int name = bytes.indexOf(QByteArray("MATLAB_class", 13));
  ASSERT_GE(name, 8);
  ASSERT_EQ(bytes.mid(name - 8, 4), QByteArray::fromHex("01000d00"));
  std::memcpy(bytes.data() + name + 16 + 4, QByteArray::fromHex("ffffff00").constData(), 4);
  QTemporaryDir dir;
  const QString copy = dir.filePath(QStringLiteral("attribute.mat"));
  QFile out(copy);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(bytes);
  out.close();

  ur::ScopedImageBuf image;
  bool isEntropy = false;
  QString error;
  EXPECT_FALSE(urs::matlab::LoadImageFromMat(copy, image.get(), isEntropy, nullptr, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("an attribute's data runs past its message")))
      << error.toStdString();
  EXPECT_EQ(image->data, nullptr);
}

TEST_F(MatlabTest, DimensionsBeyondWhatTheFileHoldsAreRefusedBeforeReading) {
  std::vector<double> values(5 * 10, 1.0);
  {
    const Mat mat = create(QStringLiteral("big.mat"));
    ASSERT_TRUE(urs::matlab::AddVar(mat.get(), values.data(), 5, 10, QStringLiteral("big")));
  }
  QFile file(path(QStringLiteral("big.mat")));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  QByteArray bytes = file.readAll();
  // The dimensions subelement: miINT32, 8 bytes, 5, 10 (little-endian). Claim 2^31 - 1 columns.
  const QByteArray wanted = QByteArray::fromHex("0500000008000000050000000a000000");
  const int at = bytes.indexOf(wanted);
  ASSERT_GE(at, 0);
  std::memcpy(bytes.data() + at + 12, QByteArray::fromHex("ffffff7f").constData(), 4);
  file.seek(0);
  file.write(bytes);
  file.close();

  ur::ScopedImageBuf image;
  EXPECT_FALSE(load(QStringLiteral("big.mat"), image));
  EXPECT_EQ(image->data, nullptr);
}

}  // namespace
