// The date and time stamps of a log line, from the local clock: "%Y-%m-%d" and "%H:%M:%S".
// Read from the system's local time: the C library's localtime asks for the time zone on every
// call, which cost each trace line more than all the rest of its formatting.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "log_limits.h"

namespace logstamp {

inline SYSTEMTIME Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

inline void Date(char* out)
{
    const SYSTEMTIME t = Now();
    std::snprintf(out, logbuf::kStampChars, "%04u-%02u-%02u", static_cast<unsigned>(t.wYear),
                  static_cast<unsigned>(t.wMonth), static_cast<unsigned>(t.wDay));
}

inline void Time(char* out)
{
    const SYSTEMTIME t = Now();
    std::snprintf(out, logbuf::kStampChars, "%02u:%02u:%02u", static_cast<unsigned>(t.wHour),
                  static_cast<unsigned>(t.wMinute), static_cast<unsigned>(t.wSecond));
}

inline void Date(wchar_t* out)
{
    const SYSTEMTIME t = Now();
    std::swprintf(out, logbuf::kStampChars, L"%04u-%02u-%02u", static_cast<unsigned>(t.wYear),
                  static_cast<unsigned>(t.wMonth), static_cast<unsigned>(t.wDay));
}

inline void Time(wchar_t* out)
{
    const SYSTEMTIME t = Now();
    std::swprintf(out, logbuf::kStampChars, L"%02u:%02u:%02u", static_cast<unsigned>(t.wHour),
                  static_cast<unsigned>(t.wMinute), static_cast<unsigned>(t.wSecond));
}

}  // namespace logstamp
