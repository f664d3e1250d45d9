#pragma once
// The FITS saver's keyword editor for the save dialog: a tool button "Add FITS keyword" whose
// menu offers standard and commonly used keywords, and one row per keyword (a label
// "KEYWORD =", a line edit named after the keyword holding its value, a remove button "X").
// Texts are translatable in the context "ur::CxFitsImageSaver".

#include <ur/data_saver.h>

#include <QString>

class QWidget;

namespace ur {
class CxFitsImageSaver;
}

namespace ur::fits {

// A new editor with a row for every upper-case option key. The menu's actions are connected to
// the slot on_btnAddClicked(QAction*) of receiver, the rows' remove buttons to its slot
// on_btnRemoveClicked(). parent owns the editor when given.
QWidget* CreateKeywordEditor(CxFitsImageSaver* receiver, const SaveOptions& options,
                             QWidget* parent);

// Adds a row for keyword unless the editor already has one; false when it had.
bool AddKeywordRow(QWidget* editor, CxFitsImageSaver* receiver, const QString& keyword,
                   const QString& value);

// Removes the label and line edit of the row that holds button; the caller deletes the button
// (it is usually the sender of a signal still being delivered).
void RemoveKeywordRow(QWidget* editor, QWidget* button);

// Lets the dialog around the editor follow its rows.
void ResizeEnclosingDialog(QWidget* editor);

// The line edits below widget whose names are upper case, in order, as name -> text; the
// first of equal names wins. Upper-case keys of options (keywords) are replaced by those of
// the widget, other options stay. A null widget leaves options as they are.
SaveOptions ReadKeywords(const QWidget* widget, const SaveOptions& options);

}  // namespace ur::fits
