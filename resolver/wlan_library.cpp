#include "wlan_library.h"

#include "proc_address.h"

const WlanCalls* g_pWlanCallsOverride = nullptr;

namespace {

DWORD WINAPI MissingOpen(DWORD, PVOID, PDWORD, PHANDLE) { return ERROR_NOT_SUPPORTED; }
DWORD WINAPI MissingClose(HANDLE, PVOID) { return ERROR_NOT_SUPPORTED; }
DWORD WINAPI MissingSetProfile(HANDLE, const GUID*, DWORD, LPCWSTR, LPCWSTR, BOOL, PVOID, DWORD*)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD WINAPI MissingConnect(HANDLE, const GUID*, const WLAN_CONNECTION_PARAMETERS*, PVOID)
{
    return ERROR_NOT_SUPPORTED;
}
DWORD WINAPI MissingReasonText(DWORD, DWORD, PWCHAR, PVOID) { return ERROR_NOT_SUPPORTED; }

template <class Fn>
void Bind(HMODULE module, const char* name, Fn& slot, Fn missing)
{
    Fn proc = ProcAddress<Fn>(module, name);
    slot = proc ? proc : missing;
}

constexpr DWORD kClientVersion = 2;

}  // namespace

CWlanLibrary::CWlanLibrary() : m_module(nullptr), m_calls()
{
    if (g_pWlanCallsOverride) {
        m_calls = *g_pWlanCallsOverride;
        return;
    }
    m_module = LoadLibraryW(L"wlanapi.dll");
    Bind(m_module, "WlanOpenHandle", m_calls.openHandle, MissingOpen);
    Bind(m_module, "WlanCloseHandle", m_calls.closeHandle, MissingClose);
    Bind(m_module, "WlanSetProfile", m_calls.setProfile, MissingSetProfile);
    Bind(m_module, "WlanConnect", m_calls.connect, MissingConnect);
    Bind(m_module, "WlanReasonCodeToString", m_calls.reasonCodeToString, MissingReasonText);
}

CWlanLibrary::~CWlanLibrary()
{
    if (m_module) FreeLibrary(m_module);
}

CWlanClient::CWlanClient(const WlanCalls& calls) : m_calls(calls), m_handle(nullptr), m_result(0)
{
    DWORD negotiated = 0;
    m_result = m_calls.openHandle(kClientVersion, nullptr, &negotiated, &m_handle);
}

CWlanClient::~CWlanClient()
{
    if (m_handle) m_calls.closeHandle(m_handle, nullptr);
}
