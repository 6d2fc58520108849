#include "log_file.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "log_limits.h"
#include "log_stamp.h"

CLogFile g_LogFile;

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
