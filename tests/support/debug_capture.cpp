#include "debug_capture.h"

#include <windows.h>

#include <atomic>
#include <cwctype>

namespace {

constexpr DWORD kPrintException = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD kPrintWideException = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

std::atomic<DebugOutputCapture*> g_active{nullptr};

std::wstring Widen(const char* text, size_t length)
{
    if (length == 0) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), &out[0], n);
    return out;
}

// Position just past the "[YYYY-MM-DD HH:MM:SS] " stamp, or npos.
size_t StampEnd(const std::wstring& line)
{
    static const wchar_t kPattern[] = L"[dddd-dd-dd dd:dd:dd] ";
    const size_t patternLength = sizeof kPattern / sizeof kPattern[0] - 1;
    size_t open = line.find(L'[');
    if (open == std::wstring::npos || line.size() < open + patternLength) return std::wstring::npos;
    for (size_t i = 0; i < patternLength; ++i) {
        wchar_t want = kPattern[i], got = line[open + i];
        if (want == L'd' ? !std::iswdigit(got) : want != got) return std::wstring::npos;
    }
    return open + patternLength;
}

}  // namespace

DebugOutputCapture::DebugOutputCapture()
{
    g_active.store(this);
    m_handler = AddVectoredExceptionHandler(1, reinterpret_cast<PVECTORED_EXCEPTION_HANDLER>(&Handler));
}

DebugOutputCapture::~DebugOutputCapture()
{
    RemoveVectoredExceptionHandler(m_handler);
    g_active.store(nullptr);
}

long __stdcall DebugOutputCapture::Handler(void* exceptionPointers)
{
    auto* pointers = static_cast<EXCEPTION_POINTERS*>(exceptionPointers);
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    DebugOutputCapture* capture = g_active.load();
    if (!capture || record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    size_t length = static_cast<size_t>(record->ExceptionInformation[0]);
    if (length > 0) --length;  // the count includes the terminator
    if (record->ExceptionCode == kPrintWideException) {
        capture->Add(std::wstring(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]), length));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == kPrintException) {
        capture->Add(Widen(reinterpret_cast<const char*>(record->ExceptionInformation[1]), length));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void DebugOutputCapture::Add(std::wstring line)
{
    std::lock_guard<CMutex> lock(m_lock);
    m_lines.push_back(std::move(line));
}

std::vector<std::wstring> DebugOutputCapture::Lines() const
{
    std::lock_guard<CMutex> lock(m_lock);
    return m_lines;
}

std::vector<std::wstring> DebugOutputCapture::Messages() const
{
    std::vector<std::wstring> out;
    for (const std::wstring& line : Lines()) out.push_back(StripStamp(line));
    return out;
}

void DebugOutputCapture::Clear()
{
    std::lock_guard<CMutex> lock(m_lock);
    m_lines.clear();
}

bool HasWellFormedStamp(const std::wstring& line)
{
    return StampEnd(line) != std::wstring::npos;
}

std::wstring StripStamp(const std::wstring& line)
{
    size_t end = StampEnd(line);
    if (end == std::wstring::npos) return line;
    std::wstring out = line.substr(0, line.find(L'[')) + line.substr(end);
    if (!out.empty() && out.back() == L'\n') out.pop_back();
    return out;
}
