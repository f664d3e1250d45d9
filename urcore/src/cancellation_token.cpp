#include <ur/cancellation_token.h>

namespace ur {

CxCancellationToken::CxCancellationToken(QObject* parent) : QObject(parent) {}

void CxCancellationToken::cancel() {
  // Only the first request is announced; pollers see the flag either way.
  if (!m_cancelled.exchange(true, std::memory_order_acq_rel)) emit cancelled();
}

void CxCancellationToken::reset() { m_cancelled.store(false, std::memory_order_release); }

}  // namespace ur
