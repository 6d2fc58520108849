#include "init_floor.h"

#include <cstdio>
#include <cstring>

#include "samples.h"

namespace {

// The debug-output buffer's layout: the writer's process id, then the text.
const DWORD kBufferBytes = 4096;
const char kEndMark[] = "bench: end of the counted lines\n";
const DWORD kMarkWaitMs = 10000;

// A line as long as the usual trace line, stamp included.
const char kNarrowLine[] = "D:[2026-12-10 12:00:00] CDrxRuntime::Initialize()::ORBAL Runtime Constructed\n";
const wchar_t kWideLine[] = L"D:[2026-12-10 12:00:00] \t        Description: Realtek PCIe GbE Family Controller\n";

}  // namespace

CDebugOutputCounter::CDebugOutputCounter() : m_reader(kMarkWaitMs)
{
    m_bufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    m_dataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    SetLastError(ERROR_SUCCESS);
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferBytes, L"DBWIN_BUFFER");
    // Another monitor already listens: its lines would not be ours to count.
    const bool ours = m_mapping && GetLastError() != ERROR_ALREADY_EXISTS;
    if (m_bufferReady && m_dataReady && m_mapping && ours)
        m_view = static_cast<const char*>(MapViewOfFile(m_mapping, FILE_MAP_READ, 0, 0, kBufferBytes));
    if (m_view && !m_reader.Start(Read, this, false)) {
        UnmapViewOfFile(m_view);
        m_view = nullptr;
    }
}

CDebugOutputCounter::~CDebugOutputCounter()
{
    m_reader.RequestStop();
    m_reader.Join(kMarkWaitMs);
    if (m_view) UnmapViewOfFile(m_view);
    for (HANDLE handle : {m_mapping, m_dataReady, m_bufferReady})
        if (handle) CloseHandle(handle);
}

int CDebugOutputCounter::LinesUntilNow()
{
    if (!Listening()) return -1;
    OutputDebugStringA(kEndMark);
    return PollUntil([this] { return m_marked.load(); }, kMarkWaitMs, 1) ? m_lines.load() : -1;
}

void CDebugOutputCounter::Read(void* context, HANDLE stop)
{
    auto* self = static_cast<CDebugOutputCounter*>(context);
    const HANDLE waits[] = {stop, self->m_dataReady};
    const DWORD process = GetCurrentProcessId();
    for (;;) {
        SetEvent(self->m_bufferReady);
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
        DWORD writer = 0;
        std::memcpy(&writer, self->m_view, sizeof(writer));
        if (writer != process || self->m_marked) continue;
        const char* text = self->m_view + sizeof(writer);
        if (strncmp(text, kEndMark, kBufferBytes - sizeof(writer)) == 0) self->m_marked = true;
        else ++self->m_lines;
    }
}

int CountFileLines(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return 0;
    int lines = 0;
    for (int c; (c = std::fgetc(file)) != EOF;)
        if (c == '\n') ++lines;
    std::fclose(file);
    return lines;
}

void SendTraceLines(int lines)
{
    for (int i = 0; i < lines; ++i) OutputDebugStringW(kWideLine);
}

void AppendTraceLines(int lines, const std::wstring& logPath)
{
    for (int i = 0; i < lines; ++i) {
        FILE* file = _wfopen(logPath.c_str(), L"a+");
        if (!file) return;
        std::fseek(file, 0, SEEK_END);
        std::fputs(kNarrowLine, file);
        std::fclose(file);
        OutputDebugStringA(kNarrowLine);
    }
}

CStubLibrary::CStubLibrary(const std::wstring& folder)
    : m_module(LoadLibraryW((folder + L"\\bench_stub.dll").c_str()))
{
}

CStubLibrary::~CStubLibrary()
{
    if (m_module) FreeLibrary(m_module);
}
