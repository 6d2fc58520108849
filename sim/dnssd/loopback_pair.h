// Two connected TCP sockets on 127.0.0.1: the stand-in writes one byte per waiting reply into
// one end, so that the other end, which callers select on, is readable exactly while replies
// wait. Holds one Winsock start-up for as long as it lives.
#pragma once

#include <winsock2.h>

namespace dnssd_sim {

class CLoopbackPair {
public:
    CLoopbackPair() = default;
    ~CLoopbackPair();
    CLoopbackPair(const CLoopbackPair&) = delete;
    CLoopbackPair& operator=(const CLoopbackPair&) = delete;

    bool Open();
    void Close();  // idempotent

    SOCKET Reader() const { return m_reader; }
    bool Signal();                      // one byte to the reader
    bool Consume(unsigned count);       // reads count bytes that were signalled

private:
    bool m_started = false;
    SOCKET m_reader = INVALID_SOCKET;
    SOCKET m_writer = INVALID_SOCKET;
};

}  // namespace dnssd_sim
