#include "loopback_pair.h"

namespace dnssd_sim {

namespace {

// A socket that is closed on every path unless released.
class CSocket {
public:
    explicit CSocket(SOCKET s) : m_s(s) {}
    ~CSocket()
    {
        if (m_s != INVALID_SOCKET)
            closesocket(m_s);
    }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    SOCKET Get() const { return m_s; }
    SOCKET Release()
    {
        SOCKET s = m_s;
        m_s = INVALID_SOCKET;
        return s;
    }

private:
    SOCKET m_s;
};

}  // namespace

CLoopbackPair::~CLoopbackPair()
{
    Close();
}

bool CLoopbackPair::Open()
{
    if (m_started)
        return false;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    m_started = true;

    CSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (listener.Get() == INVALID_SOCKET)
        return false;
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int len = sizeof(addr);
    if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(listener.Get(), 1) != 0 ||
        getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return false;

    CSocket writer(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (writer.Get() == INVALID_SOCKET ||
        connect(writer.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0)
        return false;
    CSocket reader(accept(listener.Get(), nullptr, nullptr));
    if (reader.Get() == INVALID_SOCKET)
        return false;
    BOOL noDelay = TRUE;
    setsockopt(writer.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
        sizeof(noDelay));
    m_reader = reader.Release();
    m_writer = writer.Release();
    return true;
}

void CLoopbackPair::Close()
{
    if (m_reader != INVALID_SOCKET)
        closesocket(m_reader);
    if (m_writer != INVALID_SOCKET)
        closesocket(m_writer);
    m_reader = m_writer = INVALID_SOCKET;
    if (m_started)
        WSACleanup();
    m_started = false;
}

bool CLoopbackPair::Signal()
{
    char byte = 1;
    return m_writer != INVALID_SOCKET && send(m_writer, &byte, 1, 0) == 1;
}

bool CLoopbackPair::Consume(unsigned count)
{
    char buffer[64];
    while (count > 0) {
        // The bytes were sent before; wait briefly for them rather than block for ever.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_reader, &readable);
        timeval wait = {1, 0};
        if (m_reader == INVALID_SOCKET || select(0, &readable, nullptr, nullptr, &wait) != 1)
            return false;
        int want = count < sizeof(buffer) ? static_cast<int>(count) : sizeof(buffer);
        int got = recv(m_reader, buffer, want, 0);
        if (got <= 0)
            return false;
        count -= static_cast<unsigned>(got);
    }
    return true;
}

}  // namespace dnssd_sim
