#include "os_version.h"

#include <strsafe.h>

#include <cstdio>

#include "log.h"
#include "proc_address.h"
#include "system_library.h"

namespace {

BOOL RealGetVersionEx(OSVERSIONINFOEXW* info)
{
    info->dwOSVersionInfoSize = sizeof(*info);
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info));
}

void RealGetNativeSystemInfo(SYSTEM_INFO* info)
{
    using Fn = void(WINAPI*)(SYSTEM_INFO*);
    auto native = ProcAddress<Fn>(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo");
    if (native)
        native(info);
    else
        GetSystemInfo(info);
}

BOOL RealGetProductInfo(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* edition)
{
    using Fn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    auto fn = ProcAddress<Fn>(GetModuleHandleW(L"kernel32.dll"), "GetProductInfo");
    return fn ? fn(major, minor, spMajor, spMinor, edition) : FALSE;
}

// user32 only for this call of the Wi-Fi path's OS check: imported, it would load with every
// load of the plug-in (a console host has none).
int RealGetSystemMetrics(int index)
{
    using Fn = int(WINAPI*)(int);
    CSystemLibrary user32(L"user32.dll");
    auto getSystemMetrics = user32.Bind<Fn>("GetSystemMetrics");
    return getSystemMetrics ? getSystemMetrics(index) : 0;
}

const OsPlatform kReal{RealGetVersionEx, RealGetNativeSystemInfo, RealGetProductInfo,
                       RealGetSystemMetrics};
OsPlatform g_osPlatform = kReal;

constexpr WORD kSuiteEnterprise = 0x0002;
constexpr WORD kSuiteDatacenter = 0x0080;
constexpr WORD kSuitePersonal = 0x0200;
constexpr WORD kSuiteBlade = 0x0400;
constexpr WORD kSuiteStorageServer = 0x2000;
constexpr WORD kSuiteComputeServer = 0x4000;
constexpr WORD kSuiteHomeServer = 0x8000;
constexpr int kSmServerR2 = 89;

const wchar_t* EditionText(DWORD edition)
{
    switch (edition) {
    case 1: return L"Ultimate Edition";
    case 2: return L"Home Basic Edition";
    case 3: return L"Home Premium Edition";
    case 4:
    case 10: return L"Enterprise Edition";
    case 6: return L"Business Edition";
    case 7: return L"Standard Edition";
    case 8: return L"Datacenter Edition";
    case 9: return L"Small Business Server";
    case 11: return L"Starter Edition";
    case 12: return L"Datacenter Edition (core installation)";
    case 13: return L"Standard Edition (core installation)";
    case 14: return L"Enterprise Edition (core installation)";
    case 15: return L"Enterprise Edition for Itanium-based Systems";
    case 17: return L"Web Server Edition";
    case 18: return L"Cluster Server Edition";
    case 25: return L"Small Business Server Premium Edition";
    case 48: return L"Professional";
    default: return L"";
    }
}

// Version 5.2: the product name, then for servers the edition by processor and suite.
void AppendServer2003(wchar_t* out, const OSVERSIONINFOEXW& osvi, const SYSTEM_INFO& si)
{
    const WORD suite = osvi.wSuiteMask;
    const WORD arch = si.wProcessorArchitecture;
    const bool workstation = osvi.wProductType == VER_NT_WORKSTATION;
    const wchar_t* name = L"Windows Server 2003, ";
    if (g_osPlatform.getSystemMetrics(kSmServerR2) != 0)
        name = L"Windows Server 2003 R2, ";
    else if (suite & kSuiteStorageServer)
        name = L"Windows Storage Server 2003";
    else if (suite & kSuiteHomeServer)
        name = L"Windows Home Server";
    else if (workstation && arch == PROCESSOR_ARCHITECTURE_AMD64)
        name = L"Windows XP Professional x64 Edition";
    StringCchCatW(out, kOsDisplayChars, name);
    if (workstation) return;

    const wchar_t* edition = L"";
    if (arch == PROCESSOR_ARCHITECTURE_IA64) {
        if (suite & kSuiteDatacenter)
            edition = L"Datacenter Edition for Itanium-based Systems";
        else if (suite & kSuiteEnterprise)
            edition = L"Enterprise Edition for Itanium-based Systems";
    } else if (arch == PROCESSOR_ARCHITECTURE_AMD64) {
        if (suite & kSuiteDatacenter)
            edition = L"Datacenter x64 Edition";
        else if (suite & kSuiteEnterprise)
            edition = L"Enterprise x64 Edition";
        else
            edition = L"Standard x64 Edition";
    } else {
        if (suite & kSuiteComputeServer)
            edition = L"Compute Cluster Edition";
        else if (suite & kSuiteDatacenter)
            edition = L"Datacenter Edition";
        else if (suite & kSuiteEnterprise)
            edition = L"Enterprise Edition";
        else if (suite & kSuiteBlade)
            edition = L"Web Edition";
        else
            edition = L"Standard Edition";
    }
    StringCchCatW(out, kOsDisplayChars, edition);
}

}  // namespace

OsPlatform& OsPlatformCalls() { return g_osPlatform; }
const OsPlatform& RealOsPlatform() { return kReal; }

bool GetOSDisplayString(const OSVERSIONINFOEXW& osvi, wchar_t* buffer, const SYSTEM_INFO& si)
{
    if (!buffer) return false;
    buffer[0] = L'\0';
    if (osvi.dwPlatformId != VER_PLATFORM_WIN32_NT || osvi.dwMajorVersion <= 4) {
        std::fputs("This sample does not support this version of Windows.\n", stdout);
        return false;
    }

    const bool workstation = osvi.wProductType == VER_NT_WORKSTATION;
    StringCchCopyW(buffer, kOsDisplayChars, L"Microsoft ");
    if (osvi.dwMajorVersion == 6) {
        if (osvi.dwMinorVersion == 0)
            StringCchCatW(buffer, kOsDisplayChars,
                          workstation ? L"Windows Vista " : L"Windows Server 2008 ");
        else if (osvi.dwMinorVersion == 1)
            StringCchCatW(buffer, kOsDisplayChars,
                          workstation ? L"Windows 7 " : L"Windows Server 2008 R2 ");
        DWORD edition = 0;
        if (!g_osPlatform.getProductInfo(osvi.dwMajorVersion, osvi.dwMinorVersion, 0, 0, &edition))
            edition = 0;
        StringCchCatW(buffer, kOsDisplayChars, EditionText(edition));
    } else if (osvi.dwMajorVersion == 5 && osvi.dwMinorVersion == 2) {
        AppendServer2003(buffer, osvi, si);
    } else if (osvi.dwMajorVersion == 5 && osvi.dwMinorVersion == 1) {
        StringCchCatW(buffer, kOsDisplayChars, L"Windows XP ");
        StringCchCatW(buffer, kOsDisplayChars,
                      (osvi.wSuiteMask & kSuitePersonal) ? L"Home Edition" : L"Professional");
    } else if (osvi.dwMajorVersion == 5 && osvi.dwMinorVersion == 0) {
        StringCchCatW(buffer, kOsDisplayChars, L"Windows 2000 ");
        if (workstation)
            StringCchCatW(buffer, kOsDisplayChars, L"Professional");
        else if (osvi.wSuiteMask & kSuiteDatacenter)
            StringCchCatW(buffer, kOsDisplayChars, L"Datacenter Server");
        else if (osvi.wSuiteMask & kSuiteEnterprise)
            StringCchCatW(buffer, kOsDisplayChars, L"Advanced Server");
        else
            StringCchCatW(buffer, kOsDisplayChars, L"Server");
    }

    wchar_t servicePack[128];
    StringCchCopyNW(servicePack, 128, osvi.szCSDVersion, 127);
    if (servicePack[0] != L'\0') {
        StringCchCatW(buffer, kOsDisplayChars, L" ");
        StringCchCatW(buffer, kOsDisplayChars, servicePack);
    }
    wchar_t build[40];
    StringCchPrintfW(build, 40, L" (build %d)", static_cast<int>(osvi.dwBuildNumber));
    StringCchCatW(buffer, kOsDisplayChars, build);

    if (osvi.dwMajorVersion >= 6) {
        if (si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64)
            StringCchCatW(buffer, kOsDisplayChars, L", 64-bit");
        else if (si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL)
            StringCchCatW(buffer, kOsDisplayChars, L", 32-bit");
    }
    return true;
}

bool IsAdHocCapableOS()
{
    OSVERSIONINFOEXW osvi{};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    if (!g_osPlatform.getVersionEx(&osvi)) return false;
    SYSTEM_INFO si{};
    g_osPlatform.getNativeSystemInfo(&si);

    wchar_t text[kOsDisplayChars];
    if (GetOSDisplayString(osvi, text, si)) WriteLog(L"D:", L"OS Version: %s", text);

    return osvi.dwPlatformId == VER_PLATFORM_WIN32_NT && osvi.dwMajorVersion == 6 &&
           osvi.dwMinorVersion >= 1 && osvi.wProductType == VER_NT_WORKSTATION;
}
