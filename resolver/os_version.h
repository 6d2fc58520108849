// Readable description of the operating system, and the Wi-Fi preparation's OS check.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr std::size_t kOsDisplayChars = 256;

// The platform's version facts, reached through this table so that tests can feed any version.
struct OsPlatform {
    BOOL (*getVersionEx)(OSVERSIONINFOEXW* info);
    void (*getNativeSystemInfo)(SYSTEM_INFO* info);
    // Edition number for version 6 and later; false when the platform cannot tell.
    BOOL (*getProductInfo)(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* edition);
    int (*getSystemMetrics)(int index);
};

OsPlatform& OsPlatformCalls();        // the table in use
const OsPlatform& RealOsPlatform();   // the platform's own calls

// Fills buffer (kOsDisplayChars characters) with the description; false when the version is
// not one it can describe or buffer is null.
bool GetOSDisplayString(const OSVERSIONINFOEXW& osvi, wchar_t* buffer, const SYSTEM_INFO& si);

// Logs "OS Version: ..." and answers whether ad-hoc Wi-Fi may be prepared: an NT workstation of
// version 6.1 or later within major version 6.
bool IsAdHocCapableOS();
