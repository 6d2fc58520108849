#include "log.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <ctime>

#include "log_limits.h"

namespace {

// Fills buf (count characters) like _vsnwprintf, cutting to count-1 characters and always
// terminating: the runtime leaves the buffer unterminated when the text does not fit.
void FormatCut(wchar_t* buf, std::size_t count, const wchar_t* format, va_list args)
{
    int n = _vsnwprintf(buf, count - 1, format, args);
    if (n < 0 || static_cast<std::size_t>(n) >= count - 1) buf[count - 1] = L'\0';
}

void FormatCutV(wchar_t* buf, std::size_t count, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatCut(buf, count, format, args);
    va_end(args);
}

void LocalStamp(wchar_t* out, const wchar_t* pattern)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0 ||
        std::wcsftime(out, logbuf::kStampChars, pattern, &local) == 0)
        out[0] = L'\0';
}

}  // namespace

void WriteLog(const wchar_t* tag, const wchar_t* format, ...)
{
    // Every buffer is local: concurrent callers never share storage.
    wchar_t szDate[logbuf::kStampChars];
    wchar_t szTime[logbuf::kStampChars];
    wchar_t szMessage[logbuf::kLineChars];
    wchar_t szLine[logbuf::kLineChars];

    LocalStamp(szDate, L"%Y-%m-%d");
    LocalStamp(szTime, L"%H:%M:%S");

    va_list args;
    va_start(args, format);
    FormatCut(szMessage, logbuf::kLineChars, format ? format : L"", args);
    va_end(args);

    FormatCutV(szLine, logbuf::kLineChars, L"%s[%s %s] %s\n", tag ? tag : L"", szDate, szTime,
               szMessage);
    OutputDebugStringW(szLine);
}
