#pragma once
// A protocol whose lines also appear on standard error as they are added, one per line.

#include <urs/protocol.h>

namespace urs::zel {

class ProtocolEcho {
public:
  ProtocolEcho();
  ProtocolEcho(const ProtocolEcho&) = delete;
  ProtocolEcho& operator=(const ProtocolEcho&) = delete;

  Protocol* protocol() { return &m_protocol; }

private:
  Protocol m_protocol;
};

}  // namespace urs::zel
