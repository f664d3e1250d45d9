#include <ur/plugin.h>

namespace ur {

namespace {
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr int kVersionPatch = 0;
}  // namespace

CxPlugin::CxPlugin(QObject* parent) : QObject(parent) {}

CxPlugin::~CxPlugin() = default;

void CxPlugin::initialize() {}

void CxPlugin::finalize() {}

void CxPlugin::retranslate() {}

QString CxPlugin::author() const { return QStringLiteral("ZEL Project"); }

QString CxPlugin::description() const { return QString(); }

void CxPlugin::version(int& major, int& minor, int& patch) const {
  major = kVersionMajor;
  minor = kVersionMinor;
  patch = kVersionPatch;
}

QString CxPlugin::version() const {
  int major = 0;
  int minor = 0;
  int patch = 0;
  version(major, minor, patch);
  return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

QString CxPlugin::website() const { return QStringLiteral("zel.example.org"); }

QString CxPlugin::copyrightNotice() const {
  return QStringLiteral("Copyright (c) ZEL Project. All rights reserved.");
}

bool CxPlugin::customCommand(const QString&, int, int, void*, void*) { return false; }

}  // namespace ur
