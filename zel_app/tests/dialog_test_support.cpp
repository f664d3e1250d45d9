#include "dialog_test_support.h"

#include <zel/plugin.h>

#include <zel_testing/png_maker.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace zel::testing {

QString ScriptedPrompts::existingDirectory(QWidget*, const QString&, const QString&) {
  return directories.isEmpty() ? QString() : directories.takeFirst();
}

QString ScriptedPrompts::saveFileName(QWidget*, const QString&, const QString&, const QString&) {
  return saveName;
}

QMessageBox::StandardButton ScriptedPrompts::message(QWidget*, QMessageBox::Icon icon,
                                                     const QString& title, const QString& text,
                                                     QMessageBox::StandardButtons,
                                                     QMessageBox::StandardButton defaultButton) {
  messages.append({icon, title, text});
  if (whileAsking) whileAsking();
  return answers.isEmpty() ? defaultButton : answers.takeFirst();
}

void ScriptedPrompts::about(const ur::AboutConf& conf, QWidget*) {
  ++aboutShown;
  lastAbout = conf;
}

void DialogTest::SetUpTestSuite() {
  // The test binary lies in bin/ beside the conversion plug-in, as the program does.
  ASSERT_EQ(urs::zel::InitPlugins(QCoreApplication::applicationDirPath()), 0u);
  qApp->setQuitOnLastWindowClosed(false);
}

void DialogTest::SetUp() {
  ASSERT_TRUE(m_dir.isValid());
  urs::zel::SetPrompts(&prompts);
}

void DialogTest::TearDown() {
  closeAll();
  urs::zel::SetPrompts(nullptr);
}

void DialogTest::writeIni(const QStringList& lines) const {
  QFile file(iniPath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
  file.write("[Dialog]\n" + lines.join('\n').toUtf8() + "\n");
}

void DialogTest::open() {
  settings = std::make_unique<urs::zel::DialogSettings>(iniPath());
  urs::zel::SetCurrentSettings(settings.get());
  dialog = std::make_unique<urs::zel::ZelDialog>();
  dialog->show();
}

void DialogTest::closeAll() {
  dialog.reset();
  urs::zel::SetCurrentSettings(nullptr);
  settings.reset();
}

QString DialogTest::folder(const QString& name) const {
  const QString path = m_dir.filePath(name);
  QDir().mkpath(path);
  return path;
}

QString DialogTest::protocolText() const {
  return find<QPlainTextEdit>("editProtocol")->toPlainText();
}

void DialogTest::startRun() {
  find<QPushButton>("pushStart")->click();
  ASSERT_TRUE(dialog->isConverting()) << protocolText().toStdString();
}

void DialogTest::waitForEnd() {
  // The worker's reports reach the dialog queued; once the thread is done, deliver them all.
  ASSERT_TRUE(WaitFor([&] { return dialog->worker().isFinished(); }));
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

void DialogTest::runToEnd() {
  startRun();
  waitForEnd();
}

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!cond()) {
    if (timer.elapsed() > timeoutMs) return false;
    QTest::qWait(5);
  }
  return true;
}

void WriteFrames(const QString& dir, int count, int width, int height) {
  QDir().mkpath(dir);
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  spec.colourType = 0;
  spec.bitDepth = 16;
  for (int i = 0; i < count; ++i) {
    std::vector<std::uint16_t> samples(size_t(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        samples[size_t(y) * width + x] = std::uint16_t(((x * 37 + y * 101 + i * 13) % 200) * 20);
    const QString path = QDir(dir).filePath(QStringLiteral("frame_%1.png").arg(i, 3, 10, QChar('0')));
    ASSERT_TRUE(WriteBytes(path, EncodePng(spec, samples))) << path.toStdString();
  }
}

}  // namespace zel::testing
