// Narrow diagnostic log: appends each stamped line to a file and sends it to the debugger.
#pragma once

#include <cstdio>

#include <boost/thread/recursive_mutex.hpp>

class CLogFile {
public:
    static constexpr int kPathChars = 260;

    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // A path longer than 259 characters is cut to fit; a null path changes nothing. Never throws.
    void SetFileName(const char* path) noexcept;
    // Emits nothing at all when the file cannot be opened (or the lock cannot be taken); never
    // throws.
    void Write(const char* tag, const char* format, ...) noexcept __attribute__((format(gnu_printf, 3, 4)));

private:
    FILE* m_pStream;
    char m_szFileName[kPathChars];
    boost::recursive_mutex m_lock;
};

extern CLogFile g_LogFile;
