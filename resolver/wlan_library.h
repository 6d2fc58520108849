// The native Wi-Fi calls, bound from wlanapi.dll at run time: PCs without the wireless service
// lack the library, and the resolver must still load there.
#pragma once

#include <windows.h>
#include <wlanapi.h>

struct WlanCalls {
    DWORD(WINAPI* openHandle)(DWORD clientVersion, PVOID reserved, PDWORD negotiated, PHANDLE client);
    DWORD(WINAPI* closeHandle)(HANDLE client, PVOID reserved);
    DWORD(WINAPI* setProfile)(HANDLE client, const GUID* iface, DWORD flags, LPCWSTR xml,
                              LPCWSTR security, BOOL overwrite, PVOID reserved, DWORD* reason);
    DWORD(WINAPI* connect)(HANDLE client, const GUID* iface,
                           const WLAN_CONNECTION_PARAMETERS* parameters, PVOID reserved);
    DWORD(WINAPI* reasonCodeToString)(DWORD reason, DWORD count, PWCHAR text, PVOID reserved);
};

// Tests set this to see the calls and choose their answers; null means wlanapi.dll.
extern const WlanCalls* g_pWlanCallsOverride;

// wlanapi.dll for the lifetime of one operation; a call the platform lacks answers
// ERROR_NOT_SUPPORTED.
class CWlanLibrary {
public:
    CWlanLibrary();
    ~CWlanLibrary();
    CWlanLibrary(const CWlanLibrary&) = delete;
    CWlanLibrary& operator=(const CWlanLibrary&) = delete;

    const WlanCalls& Calls() const { return m_calls; }

private:
    HMODULE m_module;
    WlanCalls m_calls;
};

// Closes a native Wi-Fi client handle on every path.
class CWlanClient {
public:
    // Opens a client of version 2; a handle obtained despite a failure is closed too.
    explicit CWlanClient(const WlanCalls& calls);
    ~CWlanClient();
    CWlanClient(const CWlanClient&) = delete;
    CWlanClient& operator=(const CWlanClient&) = delete;

    DWORD OpenResult() const { return m_result; }
    HANDLE Get() const { return m_handle; }

private:
    const WlanCalls& m_calls;
    HANDLE m_handle;
    DWORD m_result;
};
