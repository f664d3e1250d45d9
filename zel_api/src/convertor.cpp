#include <zel/convertor.h>

#include <urs/progress_info.h>

namespace urs::zel {

ZelConvertor::ZelConvertor() : QThread(nullptr) {
  connect(&m_token, &ur::CxCancellationToken::cancelled, this, &ZelConvertor::onCancelled);
}

ZelConvertor::~ZelConvertor() {
  if (!isRunning()) return;
  cancel();
  wait();
}

void ZelConvertor::start(const ZelParams& params) {
  if (isRunning()) return;
  m_result.load(std::memory_order_acquire);
  m_params = params;
  m_reverse = false;
  m_token.reset();
  start(InheritPriority);
}

void ZelConvertor::start(const BackZelParams& params) {
  if (isRunning()) return;
  m_result.load(std::memory_order_acquire);
  m_backParams = params;
  m_reverse = true;
  m_token.reset();
  start(InheritPriority);
}

void ZelConvertor::start(Priority priority) { QThread::start(priority); }

void ZelConvertor::cancel() { m_token.cancel(); }

unsigned int ZelConvertor::getResult() const { return m_result.load(std::memory_order_acquire); }

void ZelConvertor::run() {
  if (m_reverse)
    convertToRaw();
  else
    convertToZel();
}

void ZelConvertor::convertToZel() {
  m_result.store(ConvertDirToZel(m_params, &m_token), std::memory_order_release);
}

void ZelConvertor::convertToRaw() {
  m_result.store(ConvertDirToRaw(m_backParams, &m_token), std::memory_order_release);
}

// The progress record of an idle worker may belong to a run long over, whose owner has
// destroyed it: only a run in progress is told.
void ZelConvertor::onCancelled() {
  if (!isRunning()) return;
  CxProgressInfo* progress = m_reverse ? m_backParams.progress : m_params.progress;
  if (progress) progress->setTotalMessage(tr("Cancelling..."));
}

}  // namespace urs::zel
