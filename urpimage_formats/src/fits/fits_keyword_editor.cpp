#include "fits/fits_keyword_editor.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include "fits/fits_saver.h"

namespace ur::fits {

namespace {

const char* const kContext = "ur::CxFitsImageSaver";

const char* const kStandardKeywords[] = {"AUTHOR",   "COMMENT", "HISTORY",  "INSTRUME", "OBJECT",
                                         "OBSERVER", "ORIGIN",  "REFERENC", "TELESCOP"};
const char* const kCommonKeywords[] = {"TITLE",    "FILENAME", "FILETYPE", "ROOTNAME", "CREATOR",
                                       "CONFIGUR", "OBJNAME",  "OBS_ID",   "OBS_MODE", "OBSID",
                                       "IMAGEID",  "OBSTYPE",  "PI-COI"};

enum Column { kLabelColumn = 0, kEditColumn = 1, kRemoveColumn = 2 };

QString Tr(const char* text) { return QCoreApplication::translate(kContext, text); }

bool IsKeywordName(const QString& name) { return !name.isEmpty() && name == name.toUpper(); }

template <std::size_t N>
void AddSubMenu(QMenu* menu, CxFitsImageSaver* receiver, const char* title,
                const char* const (&keywords)[N]) {
  QMenu* sub = menu->addMenu(Tr(title));
  // Keywords are names, not text: they stay untranslated.
  for (const char* keyword : keywords) sub->addAction(QString::fromLatin1(keyword));
  QObject::connect(sub, &QMenu::triggered, receiver, &CxFitsImageSaver::on_btnAddClicked);
}

QGridLayout* GridOf(QWidget* editor) { return qobject_cast<QGridLayout*>(editor->layout()); }

}  // namespace

QWidget* CreateKeywordEditor(CxFitsImageSaver* receiver, const SaveOptions& options,
                             QWidget* parent) {
  auto* editor = new QWidget(parent);
  auto* grid = new QGridLayout(editor);

  auto* add = new QToolButton(editor);
  add->setObjectName(QStringLiteral("btnAdd"));
  add->setText(Tr("Add FITS keyword"));
  add->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(add);
  AddSubMenu(menu, receiver, "FITS Standard", kStandardKeywords);
  AddSubMenu(menu, receiver, "Commonly used", kCommonKeywords);
  add->setMenu(menu);
  grid->addWidget(add, 0, 0, 1, 3);

  for (auto it = options.cbegin(); it != options.cend(); ++it)
    if (IsKeywordName(it.key())) AddKeywordRow(editor, receiver, it.key(), it.value().toString());
  return editor;
}

bool AddKeywordRow(QWidget* editor, CxFitsImageSaver* receiver, const QString& keyword,
                   const QString& value) {
  if (editor->findChild<QLineEdit*>(keyword)) return false;
  QGridLayout* grid = GridOf(editor);
  const int row = grid->rowCount();
  auto* label = new QLabel(keyword + Tr(" ="), editor);
  auto* edit = new QLineEdit(value, editor);
  edit->setObjectName(keyword);
  auto* remove = new QToolButton(editor);
  remove->setObjectName(QStringLiteral("btnRemove"));
  remove->setText(Tr("X"));
  QObject::connect(remove, &QToolButton::clicked, receiver, &CxFitsImageSaver::on_btnRemoveClicked);
  grid->addWidget(label, row, kLabelColumn);
  grid->addWidget(edit, row, kEditColumn);
  grid->addWidget(remove, row, kRemoveColumn);
  return true;
}

void RemoveKeywordRow(QWidget* editor, QWidget* button) {
  QGridLayout* grid = GridOf(editor);
  const int index = grid ? grid->indexOf(button) : -1;
  if (index < 0) return;
  int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
  grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
  for (int c : {kLabelColumn, kEditColumn}) {
    QLayoutItem* item = grid->itemAtPosition(row, c);
    if (!item || !item->widget()) continue;
    QWidget* widget = item->widget();
    grid->removeWidget(widget);
    delete widget;
  }
  grid->removeWidget(button);
  button->hide();
}

void ResizeEnclosingDialog(QWidget* editor) {
  if (QWidget* window = editor->window()) window->adjustSize();
}

SaveOptions ReadKeywords(const QWidget* widget, const SaveOptions& options) {
  if (!widget) return options;
  SaveOptions result;
  for (auto it = options.cbegin(); it != options.cend(); ++it)
    if (!IsKeywordName(it.key())) result.insert(it.key(), it.value());
  for (const QLineEdit* edit : widget->findChildren<QLineEdit*>()) {
    const QString name = edit->objectName();
    if (IsKeywordName(name) && !result.contains(name)) result.insert(name, edit->text());
  }
  return result;
}

}  // namespace ur::fits
