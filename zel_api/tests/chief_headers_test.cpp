// Each library's chief header brings its whole public interface: this file uses nothing else.
#include <ur/urcore.h>
#include <urs/urs_core.h>
#include <zel/zel_api.h>

#include <gtest/gtest.h>

namespace {

TEST(ChiefHeaders, DeclareWhatCallersUse) {
  // Names from across the three interfaces, each reached only through its chief header.
  ur::CxImage image;
  EXPECT_FALSE(image.isValid());
  EXPECT_TRUE(ur::Failed(ur::rc::Unsupported));
  urs::Protocol protocol;
  EXPECT_TRUE(protocol.isEmpty());
  EXPECT_EQ(urs::zel::DezelOutputFileName(QStringLiteral("out/"),
                                          QStringLiteral("frame.0001.zel.png")),
            QStringLiteral("out/frame.0001.dezel.png"));
}

}  // namespace
