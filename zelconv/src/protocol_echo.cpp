#include "protocol_echo.h"

#include <QObject>
#include <QString>

#include <cstdio>

namespace urs::zel {

ProtocolEcho::ProtocolEcho() {
  // The conversions run on this thread, so a direct connection prints each line at once.
  QObject::connect(
      &m_protocol, &Protocol::updated, &m_protocol,
      [this](int index) {
        if (index < 0) return;
        std::fprintf(stderr, "%s\n", qUtf8Printable(m_protocol.getMessage(index)));
        std::fflush(stderr);
      },
      Qt::DirectConnection);
}

}  // namespace urs::zel
