#include "steering_pipe_client.h"

#include <atomic>

namespace {

const DWORD kMessageBytes = 512;
std::atomic<unsigned> g_pipeCount{0};

}  // namespace

CSteeringPipe::CSteeringPipe()
{
    m_name = L"\\\\.\\pipe\\zanvi_dnssd_steering_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(g_pipeCount++);
    m_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!m_event) return;
    m_pipe = CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED |
                                  FILE_FLAG_FIRST_PIPE_INSTANCE,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                              kMessageBytes, kMessageBytes, 0, nullptr);
}

CSteeringPipe::~CSteeringPipe()
{
    Close();
    if (m_event) CloseHandle(m_event);
}

void CSteeringPipe::Close()
{
    if (m_pipe == INVALID_HANDLE_VALUE) return;
    CancelIo(m_pipe);
    CloseHandle(m_pipe);
    m_pipe = INVALID_HANDLE_VALUE;
}

bool CSteeringPipe::Complete(BOOL ok, DWORD timeoutMs, DWORD* bytes)
{
    DWORD ignored = 0;
    if (!bytes) bytes = &ignored;
    if (ok) return GetOverlappedResult(m_pipe, &m_overlapped, bytes, FALSE) != FALSE;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    if (WaitForSingleObject(m_event, timeoutMs) != WAIT_OBJECT_0) {
        // The operation must be over before the record it writes into is reused.
        CancelIo(m_pipe);
        GetOverlappedResult(m_pipe, &m_overlapped, bytes, TRUE);
        return false;
    }
    return GetOverlappedResult(m_pipe, &m_overlapped, bytes, FALSE) != FALSE;
}

bool CSteeringPipe::WaitConnected(DWORD timeoutMs)
{
    if (!Created()) return false;
    m_overlapped = {};
    m_overlapped.hEvent = m_event;
    ResetEvent(m_event);
    BOOL ok = ConnectNamedPipe(m_pipe, &m_overlapped);
    if (!ok && GetLastError() == ERROR_PIPE_CONNECTED) return true;
    return Complete(ok, timeoutMs, nullptr);
}

std::string CSteeringPipe::Send(const std::string& command, DWORD timeoutMs)
{
    if (!Created() || command.size() > kMessageBytes) return "";
    m_overlapped = {};
    m_overlapped.hEvent = m_event;
    ResetEvent(m_event);
    DWORD bytes = 0;
    BOOL ok = WriteFile(m_pipe, command.data(), static_cast<DWORD>(command.size()), nullptr,
                        &m_overlapped);
    if (!Complete(ok, timeoutMs, &bytes) || bytes != command.size()) return "";
    char reply[kMessageBytes];
    m_overlapped = {};
    m_overlapped.hEvent = m_event;
    ResetEvent(m_event);
    ok = ReadFile(m_pipe, reply, sizeof(reply), nullptr, &m_overlapped);
    if (!Complete(ok, timeoutMs, &bytes)) return "";
    return std::string(reply, bytes);
}
