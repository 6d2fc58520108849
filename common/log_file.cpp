#include "log_file.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "log_limits.h"
#include "log_stamp.h"

CLogFile g_LogFile;

namespace {

// Takes the lock; false when the threading library could not set it up. Logging never fails
// visibly: that loses one line (or leaves the path unset), never the caller's work, so no caller
// needs a guard of its own.
bool Take(boost::recursive_mutex::scoped_lock& lock) noexcept
{
    try {
        lock.lock();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

CLogFile::CLogFile() : m_pStream(nullptr), m_szFileName{} {}

CLogFile::~CLogFile()
{
    if (m_pStream) std::fclose(m_pStream);
}

void CLogFile::SetFileName(const char* path) noexcept
{
    boost::recursive_mutex::scoped_lock lock(m_lock, boost::defer_lock);
    if (!path || !Take(lock)) return;
    std::strncpy(m_szFileName, path, kPathChars - 1);
    m_szFileName[kPathChars - 1] = '\0';
}

void CLogFile::Write(const char* tag, const char* format, ...) noexcept
{
    boost::recursive_mutex::scoped_lock lock(m_lock, boost::defer_lock);
    if (!Take(lock)) return;

    if (m_szFileName[0] == '\0') return;
    m_pStream = std::fopen(m_szFileName, "a+");
    if (!m_pStream) return;
    std::fseek(m_pStream, 0, SEEK_END);

    char szDate[logbuf::kStampChars];
    char szTime[logbuf::kStampChars];
    logstamp::Date(szDate);
    logstamp::Time(szTime);

    // vsnprintf/snprintf cut at size-1 and always terminate.
    char szMessage[logbuf::kLineChars];
    va_list args;
    va_start(args, format);
    std::vsnprintf(szMessage, sizeof szMessage, format ? format : "", args);
    va_end(args);

    char szLine[logbuf::kLineChars];
    std::snprintf(szLine, sizeof szLine, "%s[%s %s] %s\n", tag ? tag : "", szDate, szTime, szMessage);

    std::fputs(szLine, m_pStream);
    std::fclose(m_pStream);
    m_pStream = nullptr;

    OutputDebugStringA(szLine);
}
