#include <zel_testing/log_capture.h>

#include <QMutex>
#include <QMutexLocker>
#include <QVector>

namespace zel::testing {

namespace {

struct Store {
  QMutex mutex;
  QStringList texts;
  QVector<QtMsgType> types;
  bool allTypes = true;
  QtMsgType only = QtDebugMsg;
};

Store& TheStore() {
  static Store store;
  return store;
}

void Handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  if (!store.allTypes && type != store.only) return;
  store.texts.append(text);
  store.types.append(type);
}

QtMessageHandler Start(bool allTypes, QtMsgType only) {
  LogCapture::clear();
  Store& store = TheStore();
  {
    QMutexLocker lock(&store.mutex);
    store.allTypes = allTypes;
    store.only = only;
  }
  return qInstallMessageHandler(&Handle);
}

}  // namespace

LogCapture::LogCapture() : m_previous(Start(true, QtDebugMsg)) {}

LogCapture::LogCapture(QtMsgType only) : m_previous(Start(false, only)) {}

LogCapture::~LogCapture() {
  qInstallMessageHandler(m_previous);
  clear();
}

const QStringList& LogCapture::lines() { return TheStore().texts; }

QStringList LogCapture::texts(QtMsgType type) {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  QStringList out;
  for (int i = 0; i < store.texts.size(); ++i)
    if (store.types[i] == type) out << store.texts[i];
  return out;
}

int LogCapture::count() {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  return store.texts.size();
}

void LogCapture::clear() {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  store.texts.clear();
  store.types.clear();
}

bool LogCapture::contains(const QString& text) {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  for (const QString& line : store.texts)
    if (line.contains(text)) return true;
  return false;
}

QString LogCapture::all() {
  Store& store = TheStore();
  QMutexLocker lock(&store.mutex);
  return store.texts.join(QLatin1Char('\n'));
}

}  // namespace zel::testing
