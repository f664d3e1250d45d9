#include <ur/style_manager.h>

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace ur {

namespace {

// Soft grey-blue surfaces with dark text: quiet for long sessions, with enough contrast for
// disabled controls to stay legible.
QPalette CalmPalette() {
  const QColor window(0xee, 0xf0, 0xf3);
  const QColor base(0xfc, 0xfd, 0xfe);
  const QColor text(0x23, 0x28, 0x30);
  const QColor accent(0x3d, 0x6e, 0xa8);
  const QColor muted(0x8a, 0x90, 0x99);

  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(0xe6, 0xea, 0xef));
  p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe8));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, muted);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(0xe4, 0xe8, 0xed));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::white);
  p.setColor(QPalette::Highlight, accent);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, accent);
  p.setColor(QPalette::LinkVisited, QColor(0x6a, 0x4c, 0x93));
  p.setColor(QPalette::Light, Qt::white);
  p.setColor(QPalette::Midlight, QColor(0xf5, 0xf6, 0xf8));
  p.setColor(QPalette::Mid, QColor(0xb8, 0xbe, 0xc6));
  p.setColor(QPalette::Dark, QColor(0x9a, 0xa1, 0xab));
  p.setColor(QPalette::Shadow, QColor(0x50, 0x55, 0x5c));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, muted);
  p.setColor(QPalette::Disabled, QPalette::Base, window);
  p.setColor(QPalette::Disabled, QPalette::Highlight, muted);
  return p;
}

}  // namespace

CxStyleManager* CxStyleManager::instance() {
  static CxStyleManager manager;
  return &manager;
}

bool CxStyleManager::setStyle(QApplication* app, int style) {
  if (!app || style != FusionCalm) return false;
  QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
  if (!fusion) return false;
  QApplication::setStyle(fusion);  // the application takes ownership
  QApplication::setPalette(CalmPalette());
  return true;
}

}  // namespace ur
