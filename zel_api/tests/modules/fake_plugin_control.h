#pragma once
// A second interface of the fake conversion plug-in through which tests steer it and read what
// the host passed to it. Tests reach it with qobject_cast on the plug-in's root object.

#include <zel/plugin.h>

#include <QtPlugin>

namespace zel::testing {

// The arguments of the latest conversion call. Maxima of the 8-bit operation are widened;
// arguments an operation does not have stay at their defaults.
struct FakeCall {
  int slot = -1;  // the operation's slot in ZelPlugin, -1 before any call
  int calls = 0;  // conversion calls since the last reset
  const ur::SxImageBuf* source = nullptr;
  const ur::SxImageBuf* destination = nullptr;
  const unsigned short* mapping[4] = {nullptr, nullptr, nullptr, nullptr};
  unsigned int maximum[3] = {0, 0, 0};
  int normalization = -1;
};

class FakePluginControl {
public:
  virtual ~FakePluginControl() = default;
  // Every conversion operation returns `code` from now on.
  virtual void setResult(unsigned int code) = 0;
  // deviceType() returns `type` from now on.
  virtual void setDeviceType(int type) = 0;
  virtual FakeCall lastCall() const = 0;
  // Forgets the calls and restores result 0 and device type 0.
  virtual void reset() = 0;
};

}  // namespace zel::testing

#define FakePluginControl_iid "org.zelproject.zel.tests.FakePluginControl"
Q_DECLARE_INTERFACE(zel::testing::FakePluginControl, FakePluginControl_iid)
