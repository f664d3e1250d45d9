// A conversion plug-in that converts nothing: it records the arguments of each call and returns
// the code a test chose. Built several times under different names (FAKE_PLUGIN_NAME).

#include "fake_plugin_control.h"

#include <zel/plugin.h>

#include <QObject>
#include <QString>

#ifndef FAKE_PLUGIN_NAME
#error "FAKE_PLUGIN_NAME must name the plug-in"
#endif

namespace zel::testing {

using ur::ExBayerGrid;
using ur::SxImageBuf;
using urs::InvalidPixel;
using urs::zel::ZelChannelNormalization;

class FakePlugin : public QObject, public urs::zel::ZelPlugin, public FakePluginControl {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID ZelPlugin_iid)
  Q_INTERFACES(urs::zel::ZelPlugin zel::testing::FakePluginControl)

public:
  QString name() const override { return QStringLiteral(FAKE_PLUGIN_NAME); }
  int deviceType() const override { return deviceType_; }

  unsigned int convertToZel16(const SxImageBuf& s, SxImageBuf& d, const unsigned short* m0,
                              const unsigned short* m1, const unsigned short* m2) override {
    return record(3, s, d, m0, m1, m2);
  }
  unsigned int convert8ToZel8(const SxImageBuf& s, SxImageBuf& d, const unsigned short* m0,
                              const unsigned short* m1, const unsigned short* m2,
                              unsigned char x0, unsigned char x1, unsigned char x2,
                              ZelChannelNormalization n) override {
    return record(4, s, d, m0, m1, m2, nullptr, {x0, x1, x2}, n);
  }
  unsigned int convertRawPlanar16ToRawPlanar16Zel(const SxImageBuf& s, SxImageBuf& d,
                                                  const unsigned short* m0,
                                                  const unsigned short* m1,
                                                  const unsigned short* m2,
                                                  const unsigned short* m3) override {
    return record(5, s, d, m0, m1, m2, m3);
  }
  unsigned int convertRawPlanar8ToRawPlanar8Zel(const SxImageBuf& s, SxImageBuf& d,
                                                const unsigned short* m0,
                                                const unsigned short* m1,
                                                const unsigned short* m2,
                                                const unsigned short* m3) override {
    return record(6, s, d, m0, m1, m2, m3);
  }
  unsigned int convertRawPlanar16ToRawPlanar8Zel(const SxImageBuf& s, SxImageBuf& d,
                                                 const unsigned short* m0,
                                                 const unsigned short* m1,
                                                 const unsigned short* m2,
                                                 const unsigned short* m3) override {
    return record(7, s, d, m0, m1, m2, m3);
  }
  unsigned int convertToZel8(const SxImageBuf& s, SxImageBuf& d, const unsigned short* m0,
                             const unsigned short* m1, const unsigned short* m2,
                             unsigned short x0, unsigned short x1, unsigned short x2,
                             ZelChannelNormalization n) override {
    return record(8, s, d, m0, m1, m2, nullptr, {x0, x1, x2}, n);
  }
  unsigned int convertZelToRaw(const SxImageBuf& z, SxImageBuf& r, const unsigned short* m0,
                               const bool*, unsigned short x0, const QVector<InvalidPixel>*, int,
                               int) override {
    return record(9, z, r, m0, nullptr, nullptr, nullptr, {x0, 0, 0});
  }
  unsigned int convertZelRgbToRaw(const SxImageBuf& z, SxImageBuf& r, const unsigned short* m0,
                                  const unsigned short* m1, const unsigned short* m2,
                                  const unsigned short* m3, const bool*, const bool*, const bool*,
                                  const bool*, unsigned short x0, unsigned short x1,
                                  unsigned short x2, unsigned short, ExBayerGrid,
                                  const QVector<InvalidPixel>*, int, int) override {
    return record(10, z, r, m0, m1, m2, m3, {x0, x1, x2});
  }

  void setResult(unsigned int code) override { result_ = code; }
  void setDeviceType(int type) override { deviceType_ = type; }
  FakeCall lastCall() const override { return last_; }
  void reset() override {
    last_ = FakeCall();
    result_ = 0;
    deviceType_ = 0;
  }

private:
  struct Maxima {
    unsigned int v0, v1, v2;
  };

  unsigned int record(int slot, const SxImageBuf& s, const SxImageBuf& d,
                      const unsigned short* m0, const unsigned short* m1,
                      const unsigned short* m2, const unsigned short* m3 = nullptr,
                      Maxima maxima = {0, 0, 0}, int normalization = -1) {
    const int calls = last_.calls + 1;
    last_ = FakeCall();
    last_.slot = slot;
    last_.calls = calls;
    last_.source = &s;
    last_.destination = &d;
    last_.mapping[0] = m0;
    last_.mapping[1] = m1;
    last_.mapping[2] = m2;
    last_.mapping[3] = m3;
    last_.maximum[0] = maxima.v0;
    last_.maximum[1] = maxima.v1;
    last_.maximum[2] = maxima.v2;
    last_.normalization = normalization;
    return result_;
  }

  FakeCall last_;
  unsigned int result_ = 0;
  int deviceType_ = 0;
};

}  // namespace zel::testing

#include "fake_plugin.moc"
