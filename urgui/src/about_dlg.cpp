#include <ur/about_dlg.h>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace ur {

CxAboutDlg::CxAboutDlg(const AboutConf& conf, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CxAboutDlg"));
  setWindowTitle(tr("About %1").arg(conf.title));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("labelIcon"));
  icon->setPixmap(conf.icon);
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* title = new QLabel(QStringLiteral("<b>%1</b>").arg(conf.title.toHtmlEscaped()), this);
  title->setObjectName(QStringLiteral("labelTitle"));
  QFont big = title->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  title->setFont(big);
  auto* version = new QLabel(versionLine(conf), this);
  version->setObjectName(QStringLiteral("labelVersion"));
  auto* notice = new QLabel(conf.notice, this);
  notice->setObjectName(QStringLiteral("labelNotice"));
  auto* web = new QLabel(this);
  web->setObjectName(QStringLiteral("labelWeb"));
  if (!conf.webAddress.isEmpty()) {
    const QString escaped = conf.webAddress.toHtmlEscaped();
    web->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(escaped));
    web->setOpenExternalLinks(true);
  }
  for (QLabel* label : {version, notice, web})
    label->setTextInteractionFlags(label->textInteractionFlags() | Qt::TextSelectableByMouse);

  auto* texts = new QVBoxLayout;
  for (QLabel* label : {title, version, notice, web}) texts->addWidget(label);
  texts->addStretch();
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addSpacing(12);
  row->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CxAboutDlg::versionLine(const AboutConf& conf) {
  QString line = tr("Version %1.%2.%3")
                     .arg(conf.versionMajor)
                     .arg(conf.versionMinor)
                     .arg(conf.versionBuild);
  if (!conf.versionText.isEmpty()) line += QLatin1Char(' ') + conf.versionText;
  return line;
}

void CxAboutDlg::showAbout(const AboutConf& conf, QWidget* parent) {
  CxAboutDlg dialog(conf, parent);
  dialog.exec();
}

}  // namespace ur
