#include "init_floor.h"

#include <cstdio>

namespace {

// A line as long as the usual trace line, stamp included.
const char kNarrowLine[] = "D:[2026-12-10 12:00:00] CDrxRuntime::Initialize()::ORBAL Runtime Constructed\n";
const wchar_t kWideLine[] = L"D:[2026-12-10 12:00:00] \t        Description: Realtek PCIe GbE Family Controller\n";

}  // namespace

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
