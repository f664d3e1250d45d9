#include <zel/version.h>

namespace urs::zel {

namespace {
constexpr int kMajor = 2;
constexpr int kMinor = 0;
constexpr int kBuild = 27;
}  // namespace

void Version(int& major, int& minor, int& build, QString& /*text*/) {
  major = kMajor;
  minor = kMinor;
  build = kBuild;
}

QString VersionString() {
  return QStringLiteral("%1.%2.%3 (64bit)").arg(kMajor).arg(kMinor).arg(kBuild);
}

}  // namespace urs::zel
