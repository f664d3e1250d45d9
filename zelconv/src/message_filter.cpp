#include "message_filter.h"

#include <QMessageLogContext>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <cstdio>

namespace urs::zel {

namespace {

enum class Verbosity { Undecided, Quiet, Verbose };

struct HeldMessage {
  QtMsgType type;
  const char* category;  // category names are static strings
  QString text;
};

struct FilterState {
  QMutex mutex;
  QtMessageHandler previous = nullptr;
  Verbosity verbosity = Verbosity::Undecided;
  QVector<HeldMessage> held;
};

FilterState& State() {
  static FilterState state;
  return state;
}

void Forward(QtMessageHandler previous, QtMsgType type, const QMessageLogContext& context,
             const QString& text) {
  if (previous) previous(type, context, text);
}

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  FilterState& state = State();
  QMutexLocker lock(&state.mutex);
  const bool chatter = type == QtDebugMsg || type == QtInfoMsg;
  if (chatter && state.verbosity == Verbosity::Quiet) return;
  if (chatter && state.verbosity == Verbosity::Undecided) {
    state.held.append({type, context.category, text});
    return;
  }
  Forward(state.previous, type, context, text);
}

}  // namespace

void InstallMessageFilter() {
  FilterState& state = State();
  QMutexLocker lock(&state.mutex);
  state.previous = qInstallMessageHandler(&Filter);
}

void SetVerboseMessages(bool verbose) {
  FilterState& state = State();
  QMutexLocker lock(&state.mutex);
  state.verbosity = verbose ? Verbosity::Verbose : Verbosity::Quiet;
  if (verbose) {
    for (const HeldMessage& message : state.held)
      Forward(state.previous, message.type,
              QMessageLogContext(nullptr, 0, nullptr, message.category), message.text);
  }
  state.held.clear();
}

void PrintOutcome(const char* outcome) {
  std::fprintf(stderr, "%s\n", outcome);
  std::fflush(stderr);
}

}  // namespace urs::zel
