#pragma once
// The dialog's texts are translated in the context "ZelDialog", the context of its form, so
// that the form's and the code's texts share one catalogue section. Mark each source text with
// QT_TRANSLATE_NOOP("ZelDialog", ...) so that lupdate finds it.

#include <QCoreApplication>
#include <QString>

namespace urs::zel {

inline QString DialogTr(const char* source) {
  return QCoreApplication::translate("ZelDialog", source);
}

}  // namespace urs::zel
