// The compaction operations select a plug-in, forward their arguments and map its codes. The
// fake plug-in of the discovery folder records what reaches it.

#include "modules/test_plugins.h"

#include <zel/compaction.h>
#include <zel/plugin.h>

#include <ur/result.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

namespace rc = ur::rc;
using zel::testing::FakeCall;
using zel::testing::LogCapture;

// A failure code no part of the system uses, so only the fake can have produced it.
constexpr unsigned int kPluginFailure = 0x80000001u;

struct Arguments {
  ur::SxImageBuf source;
  ur::SxImageBuf destination;
  unsigned short tables[4][2] = {};  // only the addresses matter
  const unsigned short* m(int i) const { return tables[i]; }
};

struct Wrapper {
  const char* operation;  // as named in the failure line
  int slot;
  int mappings;
  unsigned int maximum[3];
  int normalization;  // -1: the operation takes none
  unsigned int (*call)(unsigned long long, Arguments&);
};

// Distinct maxima and both normalisations, so that swapped arguments show.
const Wrapper kWrappers[] = {
    {"convertToZel16", 3, 3, {0, 0, 0}, -1,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::Convert16ToZel16(id, a.source, a.destination, a.m(0), a.m(1), a.m(2));
     }},
    {"convertToZel8", 8, 3, {1000, 2, 65535}, urs::zel::Together,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::Convert16ToZel8(id, a.source, a.destination, a.m(0), a.m(1), a.m(2), 1000,
                                        2, 65535, urs::zel::Together);
     }},
    {"convert8ToZel8", 4, 3, {7, 255, 1}, urs::zel::Separated,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::Convert8ToZel8(id, a.source, a.destination, a.m(0), a.m(1), a.m(2), 7,
                                       255, 1, urs::zel::Separated);
     }},
    {"convertRawPlanar16ToRawPlanar16Zel", 5, 4, {0, 0, 0}, -1,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::ConvertRawPlanar16ToRawPlanar16Zel(id, a.source, a.destination, a.m(0),
                                                           a.m(1), a.m(2), a.m(3));
     }},
    {"convertRawPlanar8ToRawPlanar8Zel", 6, 4, {0, 0, 0}, -1,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::ConvertRawPlanar8ToRawPlanar8Zel(id, a.source, a.destination, a.m(0),
                                                         a.m(1), a.m(2), a.m(3));
     }},
    {"convertRawPlanar16ToRawPlanar8Zel", 7, 4, {0, 0, 0}, -1,
     [](unsigned long long id, Arguments& a) {
       return urs::zel::ConvertRawPlanar16ToRawPlanar8Zel(id, a.source, a.destination, a.m(0),
                                                          a.m(1), a.m(2), a.m(3));
     }},
};

class Compaction : public ::testing::Test {
protected:
  void SetUp() override {
    // Ok whether this call or an earlier one in the process loaded the list.
    urs::zel::InitPlugins(zel::testing::TestPluginDir("discovery"));
    QVector<urs::zel::ZelPluginInfo> plugins;
    ASSERT_EQ(urs::zel::GetPlugins(plugins), rc::Ok);
    count_ = static_cast<unsigned long long>(plugins.size());
    for (const auto& plugin : plugins)
      if (plugin.name == QLatin1String(zel::testing::kFakePluginName)) fakeId_ = plugin.id;
    if (fakeId_ == 0) GTEST_SKIP() << "other plug-ins were loaded first in this process";
    control_ = zel::testing::FakeControl();
    ASSERT_NE(control_, nullptr);
    control_->reset();
  }
  void TearDown() override {
    if (control_) control_->reset();
  }

  unsigned long long count_ = 0;
  unsigned long long fakeId_ = 0;
  zel::testing::FakePluginControl* control_ = nullptr;
  Arguments args_;
};

TEST_F(Compaction, ForwardsArgumentsUnchangedToItsOperation) {
  for (const Wrapper& w : kWrappers) {
    SCOPED_TRACE(w.operation);
    control_->reset();
    EXPECT_EQ(w.call(fakeId_, args_), rc::Ok);
    const FakeCall call = control_->lastCall();
    EXPECT_EQ(call.calls, 1);
    EXPECT_EQ(call.slot, w.slot);
    EXPECT_EQ(call.source, &args_.source);
    EXPECT_EQ(call.destination, &args_.destination);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(call.mapping[i], i < w.mappings ? args_.m(i) : nullptr) << "mapping " << i;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(call.maximum[i], w.maximum[i]) << "maximum " << i;
    EXPECT_EQ(call.normalization, w.normalization);
  }
}

TEST_F(Compaction, RejectsIdsThatSelectNoPluginWithoutCallingIt) {
  constexpr unsigned long long kHighHalf = 1ull << 32;
  const unsigned long long minusOne = std::numeric_limits<std::uint32_t>::max();
  const unsigned long long smallestInt =
      static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::min());
  LogCapture log;
  for (unsigned long long id : {0ull, count_ + 1, minusOne, smallestInt, kHighHalf})
    for (const Wrapper& w : kWrappers)
      EXPECT_EQ(w.call(id, args_), rc::InvalidArg(1)) << w.operation << " with id " << id;
  EXPECT_EQ(control_->lastCall().calls, 0);
  EXPECT_EQ(log.count(), 0);

  // Only the low half of the id counts.
  EXPECT_EQ(kWrappers[0].call(kHighHalf + fakeId_, args_), rc::Ok);
  EXPECT_EQ(control_->lastCall().calls, 1);
}

TEST_F(Compaction, PassesSuccessCodesThroughUnchanged) {
  LogCapture log;
  for (unsigned int code : {rc::OkWithoutRecord, rc::Cancelled, ur::kFailureBit - 1}) {
    control_->setResult(code);
    for (const Wrapper& w : kWrappers) EXPECT_EQ(w.call(fakeId_, args_), code) << w.operation;
  }
  EXPECT_EQ(log.count(), 0);
}

TEST_F(Compaction, LogsPluginFailureUnderOperationNameAndFails) {
  control_->setResult(kPluginFailure);
  for (const Wrapper& w : kWrappers) {
    SCOPED_TRACE(w.operation);
    LogCapture log;
    EXPECT_EQ(w.call(fakeId_, args_), rc::Fail);
    EXPECT_EQ(log.texts(QtCriticalMsg),
              QStringList{QStringLiteral("Function ZelPlugin::%1() failed. Code 0x80000001")
                              .arg(QLatin1String(w.operation))});
    EXPECT_EQ(log.count(), 1);
  }

  // The code is written with lower-case digits.
  control_->setResult(rc::Unsupported);
  LogCapture log;
  EXPECT_EQ(kWrappers[0].call(fakeId_, args_), rc::Fail);
  EXPECT_EQ(log.texts(QtCriticalMsg),
            QStringList{QStringLiteral(
                "Function ZelPlugin::convertToZel16() failed. Code 0xa000430c")});
}

}  // namespace
