#include "log_file.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <ctime>

#include "log_limits.h"

CLogFile g_LogFile;

namespace {

void LocalStamp(char* out, const char* pattern)
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_s(&local, &now) != 0 || std::strftime(out, logbuf::kStampChars, pattern, &local) == 0)
        out[0] = '\0';
}

}  // namespace

CLogFile::CLogFile() : m_pStream(nullptr), m_szFileName{} {}

CLogFile::~CLogFile()
{
    if (m_pStream) std::fclose(m_pStream);
}

void CLogFile::SetFileName(const char* path)
{
    if (!path) return;
    boost::recursive_mutex::scoped_lock lock(m_lock);
    std::strncpy(m_szFileName, path, kPathChars - 1);
    m_szFileName[kPathChars - 1] = '\0';
}

void CLogFile::Write(const char* tag, const char* format, ...)
{
    boost::recursive_mutex::scoped_lock lock(m_lock);

    if (m_szFileName[0] == '\0') return;
    m_pStream = std::fopen(m_szFileName, "a+");
    if (!m_pStream) return;
    std::fseek(m_pStream, 0, SEEK_END);

    char szDate[logbuf::kStampChars];
    char szTime[logbuf::kStampChars];
    LocalStamp(szDate, "%Y-%m-%d");
    LocalStamp(szTime, "%H:%M:%S");

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
