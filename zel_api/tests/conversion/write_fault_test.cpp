// A full disk while the library writes: the file size limit, with SIGXFSZ ignored, stops every
// writer half-way. The conversions fail, no output appears and an earlier one stays as it was.
#include "conversion_test_support.h"

#include <zel/file_conversion.h>
#include <zel/reverse_conversion.h>

#include <QDir>

#include <csignal>
#include <sys/resource.h>

namespace {

using zel::testing::ConversionTest;

// The process's file size limit for the test's lifetime.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }

private:
  rlimit m_saved{};
  void (*m_handler)(int) = SIG_DFL;
};

TEST_F(ConversionTest, FullDiskLeavesNoOutputAndEarlierOnesUnchanged) {
  const std::uint16_t levels[4] = {100, 200, 300, 4000};
  const QString input =
      saveInput(QStringLiteral("in.tif"), zel::testing::MakeGreyFrame(800, 600, levels).get());
  const QString zel = path(QStringLiteral("good.zel.png"));
  ASSERT_EQ(urs::zel::ConvertFileToZel8(input, zel, ur::eBayerNone, urs::zel::Simple), ur::rc::Ok);
  const QString earlierZel = earlierOutput(QStringLiteral("earlier.zel.png"));
  const QString earlierTif = earlierOutput(QStringLiteral("earlier.tif"));
  const QStringList before = QDir(path(QString())).entryList(QDir::Files | QDir::Hidden);

  unsigned int forward = ur::rc::Ok;
  unsigned int back = ur::rc::Ok;
  unsigned int backNew = ur::rc::Ok;
  {
    // Smaller than either output, larger than nothing, so that writing starts and then fails.
    const FileSizeLimit limit(200);
    forward = urs::zel::ConvertFileToZel8(input, earlierZel, ur::eBayerNone, urs::zel::Simple);
    back = urs::zel::ConvertZelFileToRAW(zel::testing::CpuPlugin(), zel, earlierTif, nullptr);
    backNew = urs::zel::ConvertZelFileToRAW(zel::testing::CpuPlugin(), zel,
                                            path(QStringLiteral("new.png")), nullptr);
  }
  EXPECT_TRUE(ur::Failed(forward));
  EXPECT_TRUE(ur::Failed(back));
  EXPECT_TRUE(ur::Failed(backNew));
  EXPECT_TRUE(unchanged(earlierZel));
  EXPECT_TRUE(unchanged(earlierTif));
  EXPECT_EQ(QDir(path(QString())).entryList(QDir::Files | QDir::Hidden), before);
}

}  // namespace
