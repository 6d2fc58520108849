// Test build only: a second build of the plug-in, ZanviResolverSeams.dll, exports one more
// function that points the plug-in's platform seams at a test's own functions. The shipping
// ZanviResolver.dll has no such export.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "wlan_library.h"

struct ZanviResolverTestSeams {
    ULONG(WINAPI* getAdaptersInfo)(PIP_ADAPTER_INFO, PULONG);  // null: the IP helper library
    void (*pauseBeforeUsbRetry)(HANDLE hRunStop);               // null: one second, or to the stop
    HRESULT (*getAppDataFolder)(wchar_t* folder);               // null: the shell's folder
    const WlanCalls* wlan;                                      // null: wlanapi.dll
    BOOL (*getVersionEx)(OSVERSIONINFOEXW* info);               // null: the platform's record
    bool surveyThrows;  // the adapter survey throws inside the plug-in, as an allocation failure would
};

typedef void(__cdecl* PFN_ZanviResolverTest_SetSeams)(const ZanviResolverTestSeams* seams);
