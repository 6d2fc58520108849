#include "log.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>

#include "log_limits.h"
#include "log_stamp.h"

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

}  // namespace

void WriteLog(const wchar_t* tag, const wchar_t* format, ...)
{
    // Every buffer is local: concurrent callers never share storage.
    wchar_t szDate[logbuf::kStampChars];
    wchar_t szTime[logbuf::kStampChars];
    wchar_t szMessage[logbuf::kLineChars];
    wchar_t szLine[logbuf::kLineChars];

    logstamp::Date(szDate);
    logstamp::Time(szTime);

    va_list args;
    va_start(args, format);
    FormatCut(szMessage, logbuf::kLineChars, format ? format : L"", args);
    va_end(args);

    FormatCutV(szLine, logbuf::kLineChars, L"%s[%s %s] %s\n", tag ? tag : L"", szDate, szTime,
               szMessage);
    OutputDebugStringW(szLine);
}
