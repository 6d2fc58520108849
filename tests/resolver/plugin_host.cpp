#include "plugin_host.h"

#include "dnssd_steering.h"
#include "fake_adapters.h"

namespace {

int s_usbPauses = 0;
void CountedPause(HANDLE) { ++s_usbPauses; }

std::wstring s_appData;
HRESULT TempAppData(wchar_t* folder)
{
    wcsncpy(folder, s_appData.c_str(), MAX_PATH - 1);
    folder[MAX_PATH - 1] = L'\0';
    return S_OK;
}

// Wine's wlanapi.dll aborts on WlanSetProfile and WlanConnect: the plug-in gets answers here.
DWORD WINAPI WlanOpen(DWORD, PVOID, PDWORD negotiated, PHANDLE client)
{
    *negotiated = 2;
    *client = reinterpret_cast<HANDLE>(1);
    return ERROR_SUCCESS;
}
DWORD WINAPI WlanClose(HANDLE, PVOID) { return ERROR_SUCCESS; }
DWORD WINAPI WlanProfile(HANDLE, const GUID*, DWORD, LPCWSTR, LPCWSTR, BOOL, PVOID, DWORD*)
{
    return ERROR_SUCCESS;
}
DWORD WINAPI WlanJoin(HANDLE, const GUID*, const WLAN_CONNECTION_PARAMETERS*, PVOID)
{
    return ERROR_SUCCESS;
}
DWORD WINAPI WlanReason(DWORD, DWORD, PWCHAR, PVOID) { return ERROR_NOT_SUPPORTED; }
const WlanCalls kWlan{WlanOpen, WlanClose, WlanProfile, WlanJoin, WlanReason};

template <class Fn>
void Bind(HMODULE module, const char* name, Fn& slot)
{
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int UsbPauseCount() { return s_usbPauses; }

PluginHost::PluginHost(const wchar_t* dll, bool withDnssd)
{
    const std::wstring name(dll);
    const std::wstring source = (name == L"ZanviResolver.dll" ? BinDir() : TestDir()) + L"\\" + name;
    if (!CopyInto(source, m_dir.Path())) return;
    if (withDnssd && !CopyInto(SimDir() + L"\\dnssd.dll", m_dir.Path())) return;
    m_module = LoadLibraryW(m_dir.File(name).c_str());
    if (!m_module) return;
    Bind(m_module, "Zanviresolver_Init", Init);
    Bind(m_module, "Zanviresolver_Free", Free);
    Bind(m_module, "Zanviresolver_Execute", Execute);
    Bind(m_module, "Zanviresolver_Cancel", Cancel);
    Bind(m_module, "Zanviresolver_UpdateState", UpdateState);
    Bind(m_module, "Zanviresolver_ErrorState", ErrorState);
    Bind(m_module, "Zanviresolver_Progress", Progress);
    Bind(m_module, "Zanviresolver_ProgressMax", ProgressMax);
    Bind(m_module, "Zanviresolver_ErrorLine", ErrorLine);
    Bind(m_module, "Zanviresolver_ServiceName", ServiceName);
}

PluginHost::~PluginHost() { Unload(); }

void PluginHost::Unload()
{
    if (!m_module) return;
    if (Free) Free();
    FreeLibrary(m_module);
    m_module = nullptr;
}

void PluginHost::UseFakeSeams(BOOL (*getVersionEx)(OSVERSIONINFOEXW*), bool realUsbPause,
                              bool surveyThrows)
{
    PFN_ZanviResolverTest_SetSeams setSeams = nullptr;
    Bind(m_module, "ZanviResolverTest_SetSeams", setSeams);
    if (!setSeams) return;
    s_usbPauses = 0;
    s_appData = m_dir.Path();
    ZanviResolverTestSeams seams{};
    seams.getAdaptersInfo = FakeAdapterList::Function();
    seams.pauseBeforeUsbRetry = realUsbPause ? nullptr : CountedPause;
    seams.getAppDataFolder = TempAppData;
    seams.wlan = &kWlan;
    seams.getVersionEx = getVersionEx;
    seams.surveyThrows = surveyThrows;
    setSeams(&seams);
}

bool PluginHost::LoadScenario(const std::string& text)
{
    const std::wstring file = m_dir.File(L"scenario.txt");
    if (!WriteWholeFile(file, text)) return false;
    HMODULE dnssd = GetModuleHandleW(m_dir.File(L"dnssd.dll").c_str());
    PFN_ZanviDnssdLoadScenario load = nullptr;
    if (dnssd) Bind(dnssd, "ZanviDnssdLoadScenario", load);
    return load && load(Narrow(file).c_str()) == 0;
}

int32_t PluginHost::PollUntilDone(DWORD timeoutMs, std::vector<int32_t>* progress)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        const int32_t figure = Progress();
        if (progress && (progress->empty() || progress->back() != figure)) progress->push_back(figure);
        const int32_t state = UpdateState();
        if (state == 3 || state == 5) return state;
        Sleep(50);
    }
    return 0;
}

bool PluginHost::WaitForErrorState(int32_t state, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (ErrorState() == state) return true;
        Sleep(20);
    }
    return false;
}
