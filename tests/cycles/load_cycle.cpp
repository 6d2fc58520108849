// Loads and unloads a library many times in this one process, as hosts do, and prints what the
// process holds every so often: whatever a load leaves behind shows as a figure that moves.
//
//   load_cycle <library> <kind> <cycles> [<every>] [--check]
//
//   load             LoadLibrary and FreeLibrary only
//   update           zeb_fw_update.dll: Init, "FWUpdate" on section Zanvi, then Cancel, the
//                    update's end or nothing (in turn), Free
//   resolve:<text>   ZanviResolver.dll: Init, Execute(text), then Cancel and at once Execute
//                    again, the run's end or nothing (in turn), Free
//   wifi:<text>      ZanviResolverSeams.dll as resolve:, on a Windows 7 workstation whose one
//                    adapter is a USB Wi-Fi dongle on interface 3: each Execute of a wifi request
//                    writes the ad-hoc profile in the roaming application-data folder and reads
//                    it through COM (only the native Wi-Fi calls are stood in for: Wine's abort)
//   dnssd            dnssd.dll driven as the resolver drives it: a browse, a resolve and an
//                    address lookup of VCI-A7._zeb_vci._tcp on the scenario beside the library
//   runtime          drx_runtime.dll driven as the update plug-in drives it: construction, an
//                    install on VCI 4711 over USB (to its end, or destructed during it), destruction
//
// Figures are printed before the first cycle, every <every> cycles (default 1000) and after the
// last. With --check the process ends with 1 when, between the first report after the warm-up
// (the first <every> cycles) and the last, free TLS or FLS indexes went down, handles of a type
// or threads went up by more than a few that may still be on their way out, or the library is
// still loaded at the end. A step that fails ends it with 3; bad arguments with 2.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "dns_sd_api.h"
#include "drx_rt_api.h"
#include "process_figures.h"
#include "proc_address.h"
#include "system_library.h"
#include "test_seams.h"

namespace {

// Handles and threads that may still be on their way out when the figures are read: a thread
// of the last cycle that has yet to end.
const unsigned kSlackHandles = 3;
const unsigned kSlackThreads = 1;
// Private memory may move by a few heap blocks; a leak per load (the runtime's 71 KiB pool, say)
// grows far beyond this within a few dozen cycles.
const unsigned long long kSlackPrivateBytes = 1024 * 1024;

template <class Done>
bool WaitFor(Done done, DWORD timeoutMs)
{
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < timeoutMs; Sleep(5))
        if (done()) return true;
    return false;
}

// Pauses that differ from cycle to cycle but repeat from run to run.
DWORD PauseMs(unsigned cycle, DWORD most) { return (cycle * 2654435761u >> 7) % most; }

typedef int32_t(__cdecl* NoArgFn)();

class Cycle {
public:
    virtual ~Cycle() = default;
    // Bind the entry points of the library just loaded.
    virtual bool Bind(HMODULE module) = 0;
    // What one cycle does between LoadLibrary and FreeLibrary; false when a step failed.
    virtual bool Play(unsigned cycle) = 0;
};

class LoadOnly : public Cycle {
public:
    bool Bind(HMODULE) override { return true; }
    bool Play(unsigned) override { return true; }
};

class UpdateCycle : public Cycle {
    typedef int32_t(__cdecl* ExecuteFn)(const char*, const char*, const char*, const char*, int32_t);
    NoArgFn Init = nullptr, Free = nullptr, Cancel = nullptr, UpdateState = nullptr;
    ExecuteFn Execute = nullptr;

public:
    bool Bind(HMODULE module) override
    {
        Init = ProcAddress<NoArgFn>(module, "Init");
        Free = ProcAddress<NoArgFn>(module, "Free");
        Cancel = ProcAddress<NoArgFn>(module, "Cancel");
        UpdateState = ProcAddress<NoArgFn>(module, "UpdateState");
        Execute = ProcAddress<ExecuteFn>(module, "Execute");
        return Init && Free && Cancel && UpdateState && Execute;
    }
    bool Play(unsigned cycle) override
    {
        if (Init() != 0 || Execute("FWUpdate", "Zanvi", "", "", 0) != 0) return false;
        bool ended = true;
        if (cycle % 3 == 0) Cancel();
        if (cycle % 3 == 1) ended = WaitFor([&] { return UpdateState() == 3; }, 10000);
        return Free() == 0 && ended;
    }
};

class ResolveCycle : public Cycle {
    typedef int32_t(__cdecl* ExecuteFn)(const char*, char*, char*);
    NoArgFn Init = nullptr, Free = nullptr, Cancel = nullptr, UpdateState = nullptr;
    ExecuteFn Execute = nullptr;
    std::string m_text;
    char m_address[16] = {};
    char m_port[6] = {};

public:
    explicit ResolveCycle(std::string text) : m_text(std::move(text)) {}
    bool Bind(HMODULE module) override
    {
        Init = ProcAddress<NoArgFn>(module, "Zanviresolver_Init");
        Free = ProcAddress<NoArgFn>(module, "Zanviresolver_Free");
        Cancel = ProcAddress<NoArgFn>(module, "Zanviresolver_Cancel");
        UpdateState = ProcAddress<NoArgFn>(module, "Zanviresolver_UpdateState");
        Execute = ProcAddress<ExecuteFn>(module, "Zanviresolver_Execute");
        return Init && Free && Cancel && UpdateState && Execute;
    }
    bool Play(unsigned cycle) override
    {
        if (Init() != 0 || Execute(m_text.c_str(), m_address, m_port) != 1) return false;
        bool ready = true;
        if (cycle % 3 == 0) {
            Sleep(PauseMs(cycle, 400));
            Cancel();
            if (Execute(m_text.c_str(), m_address, m_port) != 1) return false;
        }
        if (cycle % 3 == 1) ready = WaitFor([&] { return UpdateState() == 3; }, 10000);
        if (cycle % 3 == 2) Sleep(PauseMs(cycle, 400));
        Free();
        return ready;
    }
};

// The one adapter of the Wi-Fi cycle, as GetAdaptersInfo reports it; called from the plug-in's
// threads too, so it keeps nothing.
ULONG WINAPI DongleAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size)
{
    if (!size) return ERROR_INVALID_PARAMETER;
    if (!buffer || *size < sizeof(IP_ADAPTER_INFO)) {
        *size = sizeof(IP_ADAPTER_INFO);
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0, sizeof(IP_ADAPTER_INFO));
    std::strcpy(buffer->AdapterName, "{5A1B2C3D-0000-4000-8000-0000000000C3}");
    std::strcpy(buffer->Description, "USB Wireless LAN Adapter");
    buffer->Type = IF_TYPE_IEEE80211;
    buffer->Index = 3;
    return ERROR_SUCCESS;
}

// The ad-hoc preparation is made only there.
BOOL Windows7Workstation(OSVERSIONINFOEXW* info)
{
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->wProductType = VER_NT_WORKSTATION;
    return TRUE;
}

// Wine's wlanapi.dll aborts on WlanSetProfile and WlanConnect.
DWORD WINAPI WlanOpen(DWORD, PVOID, PDWORD negotiated, PHANDLE client)
{
    *negotiated = 2;
    *client = reinterpret_cast<HANDLE>(1);
    return ERROR_SUCCESS;
}
DWORD WINAPI WlanClose(HANDLE, PVOID) { return ERROR_SUCCESS; }
// Profiles that reached the platform: the document was read through COM, so the path ran whole.
std::atomic<unsigned> s_profilesSet{0};
DWORD WINAPI WlanProfile(HANDLE, const GUID*, DWORD, LPCWSTR xml, LPCWSTR, BOOL, PVOID, DWORD*)
{
    if (xml && std::wcsstr(xml, L"<WLANProfile")) ++s_profilesSet;
    return ERROR_SUCCESS;
}
DWORD WINAPI WlanJoin(HANDLE, const GUID*, const WLAN_CONNECTION_PARAMETERS*, PVOID) { return ERROR_SUCCESS; }
DWORD WINAPI WlanReason(DWORD, DWORD, PWCHAR, PVOID) { return ERROR_NOT_SUPPORTED; }
const WlanCalls kWlanStandIn{WlanOpen, WlanClose, WlanProfile, WlanJoin, WlanReason};

// The seams are the library's own state: set again after every load.
class WifiResolveCycle : public ResolveCycle {
public:
    using ResolveCycle::ResolveCycle;
    bool Bind(HMODULE module) override
    {
        auto setSeams = ProcAddress<PFN_ZanviResolverTest_SetSeams>(module, "ZanviResolverTest_SetSeams");
        if (!setSeams || !ResolveCycle::Bind(module)) return false;
        ZanviResolverTestSeams seams{};
        seams.getAdaptersInfo = DongleAdaptersInfo;
        seams.wlan = &kWlanStandIn;
        seams.getVersionEx = Windows7Workstation;
        setSeams(&seams);
        return true;
    }
    bool Play(unsigned cycle) override
    {
        const unsigned before = s_profilesSet;
        if (!ResolveCycle::Play(cycle)) return false;
        if (s_profilesSet == before) {
            std::fprintf(stderr, "load_cycle: no ad-hoc profile reached the platform\n");
            return false;
        }
        if (!ComLeftAsFound()) {
            std::fprintf(stderr, "load_cycle: COM is left initialised on the host's thread\n");
            return false;
        }
        return true;
    }

private:
    // The profile is read through COM on the host's thread, where nothing of it may stay: a
    // thread left in the multithreaded model refuses the host's own single-threaded one.
    static bool ComLeftAsFound()
    {
        typedef HRESULT(WINAPI * InitializeFn)(LPVOID, DWORD);
        typedef void(WINAPI * UninitializeFn)();
        CSystemLibrary ole32(L"ole32.dll");
        const auto initialize = ole32.Bind<InitializeFn>("CoInitializeEx");
        const auto uninitialize = ole32.Bind<UninitializeFn>("CoUninitialize");
        if (!initialize || !uninitialize) return false;
        const HRESULT hr = initialize(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hr)) uninitialize();
        return hr == S_OK;
    }
};

class DnssdCycle : public Cycle {
    PFN_DNSServiceBrowse Browse = nullptr;
    PFN_DNSServiceResolve Resolve = nullptr;
    PFN_DNSServiceGetAddrInfo GetAddrInfo = nullptr;
    PFN_DNSServiceRefSockFD RefSockFD = nullptr;
    PFN_DNSServiceProcessResult ProcessResult = nullptr;
    PFN_DNSServiceRefDeallocate RefDeallocate = nullptr;
    int m_replies = 0;

    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*,
                                   const char*, const char*, void* context)
    {
        ++static_cast<DnssdCycle*>(context)->m_replies;
    }
    static void DNSSD_API OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*,
                                    const char*, uint16_t, uint16_t, const unsigned char*, void* context)
    {
        ++static_cast<DnssdCycle*>(context)->m_replies;
    }
    static void DNSSD_API OnAddress(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType, const char*,
                                    const sockaddr*, uint32_t, void* context)
    {
        ++static_cast<DnssdCycle*>(context)->m_replies;
    }

    // The call started, one reply (or batch) was processed within 3 s, and the reference is
    // deallocated again.
    bool Answered(const char* call, DNSServiceErrorType started, DNSServiceRef ref)
    {
        if (started != kDNSServiceErr_NoError) {
            std::fprintf(stderr, "load_cycle: %s answered %d\n", call, static_cast<int>(started));
            return false;
        }
        const int before = m_replies;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(RefSockFD(ref), &readable);
        timeval wait = {3, 0};
        const bool ok = select(0, &readable, nullptr, nullptr, &wait) == 1 &&
                        ProcessResult(ref) == kDNSServiceErr_NoError && m_replies > before;
        RefDeallocate(ref);
        if (!ok) std::fprintf(stderr, "load_cycle: no answer to %s\n", call);
        return ok;
    }

public:
    bool Bind(HMODULE module) override
    {
        Browse = ProcAddress<PFN_DNSServiceBrowse>(module, "DNSServiceBrowse");
        Resolve = ProcAddress<PFN_DNSServiceResolve>(module, "DNSServiceResolve");
        GetAddrInfo = ProcAddress<PFN_DNSServiceGetAddrInfo>(module, "DNSServiceGetAddrInfo");
        RefSockFD = ProcAddress<PFN_DNSServiceRefSockFD>(module, "DNSServiceRefSockFD");
        ProcessResult = ProcAddress<PFN_DNSServiceProcessResult>(module, "DNSServiceProcessResult");
        RefDeallocate = ProcAddress<PFN_DNSServiceRefDeallocate>(module, "DNSServiceRefDeallocate");
        return Browse && Resolve && GetAddrInfo && RefSockFD && ProcessResult && RefDeallocate;
    }
    bool Play(unsigned) override
    {
        DNSServiceRef ref = nullptr;
        DNSServiceErrorType started = Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, OnBrowse, this);
        if (!Answered("the browse", started, ref)) return false;
        started = Resolve(&ref, 0, 0, "VCI-A7", "_zeb_vci._tcp", "local", OnResolve, this);
        if (!Answered("the resolve", started, ref)) return false;
        started = GetAddrInfo(&ref, 0, 0, kDNSServiceProtocol_IPv4, "vci-a7.local.", OnAddress, this);
        return Answered("the address lookup", started, ref);
    }
};

class RuntimeCycle : public Cycle {
    DrxRtConstructFn Construct = nullptr;
    DrxRtDestructFn Destruct = nullptr;
    DrxRtSetEventCallbackFn SetEventCallback = nullptr;
    DrxRtConnectFn Connect = nullptr;
    DrxRtDisconnectFn Disconnect = nullptr;
    DrxRtInstallVCIAppFn InstallVCIApp = nullptr;
    DrxRtInstallGetStatusFn InstallGetStatus = nullptr;

    static void DRXRT_CALL OnEvent(int32_t, uint32_t, uint32_t, void*) {}

public:
    bool Bind(HMODULE module) override
    {
        Construct = ProcAddress<DrxRtConstructFn>(module, "DrxRtConstruct");
        Destruct = ProcAddress<DrxRtDestructFn>(module, "DrxRtDestruct");
        SetEventCallback = ProcAddress<DrxRtSetEventCallbackFn>(module, "DrxRtSetEventCallback");
        Connect = ProcAddress<DrxRtConnectFn>(module, "DrxRtConnect");
        Disconnect = ProcAddress<DrxRtDisconnectFn>(module, "DrxRtDisconnect");
        InstallVCIApp = ProcAddress<DrxRtInstallVCIAppFn>(module, "DrxRtInstallVCIApp");
        InstallGetStatus = ProcAddress<DrxRtInstallGetStatusFn>(module, "DrxRtInstallGetStatus");
        return Construct && Destruct && SetEventCallback && Connect && Disconnect && InstallVCIApp && InstallGetStatus;
    }
    bool Play(unsigned cycle) override
    {
        int32_t vci = 0, install = 0;
        unsigned char record[DRX_RT_INSTALL_RECORD_BYTES] = {};
        bool ok = Construct(0) == 0 && SetEventCallback(DRX_RT_RUNTIME_HANDLE, 1, OnEvent, nullptr) == 0 &&
                  Connect(4711, DRX_RT_IF_USB, &vci) == 0 &&
                  SetEventCallback(vci, DRX_RT_APP_MGT_EVT, OnEvent, nullptr) == 0 &&
                  InstallVCIApp(vci, "zvci", record, &install) == 0;
        if (ok && cycle % 2 == 0) {
            ok = WaitFor(
                [&] {
                    DrxRtAppInstallStatus status = {};
                    return InstallGetStatus(vci, install, &status) == 0 &&
                           status.iStatus == DRX_RT_INSTALL_COMPLETE;
                },
                5000);
        }
        if (vci) Disconnect(vci);
        return Destruct() == 0 && ok;
    }
};

std::unique_ptr<Cycle> MakeCycle(const std::string& kind)
{
    if (kind == "load") return std::make_unique<LoadOnly>();
    if (kind == "update") return std::make_unique<UpdateCycle>();
    if (kind.compare(0, 8, "resolve:") == 0) return std::make_unique<ResolveCycle>(kind.substr(8));
    if (kind.compare(0, 5, "wifi:") == 0) return std::make_unique<WifiResolveCycle>(kind.substr(5));
    if (kind == "dnssd") return std::make_unique<DnssdCycle>();
    if (kind == "runtime") return std::make_unique<RuntimeCycle>();
    return nullptr;
}

// What grew between two reports beyond what may still be on its way out; empty when nothing did.
std::string Growth(const ProcessFigures& from, const ProcessFigures& to)
{
    std::string grown;
    if (to.tlsFree < from.tlsFree) grown += " TLS indexes " + std::to_string(from.tlsFree - to.tlsFree) + ";";
    if (to.flsFree < from.flsFree) grown += " FLS indexes " + std::to_string(from.flsFree - to.flsFree) + ";";
    for (const auto& type : to.handles) {
        auto before = from.handles.find(type.first);
        const unsigned was = before == from.handles.end() ? 0 : before->second;
        if (type.second > was + kSlackHandles)
            grown += " " + type.first + " handles " + std::to_string(type.second - was) + ";";
    }
    if (to.threads > from.threads + kSlackThreads) grown += " threads " + std::to_string(to.threads - from.threads) + ";";
    if (to.privateBytes > from.privateBytes + kSlackPrivateBytes)
        grown += " private memory " + std::to_string((to.privateBytes - from.privateBytes) / 1024) + " KiB;";
    return grown;
}

void Report(const char* when, unsigned cycle, const ProcessFigures& figures)
{
    std::printf("%s %6u: %s\n", when, cycle, figures.Text().c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool check = argc > 1 && std::strcmp(argv[argc - 1], "--check") == 0;
    const int args = argc - (check ? 1 : 0);
    if (args < 4 || args > 5) {
        std::fprintf(stderr, "usage: load_cycle <library> <kind> <cycles> [<every>] [--check]\n");
        return 2;
    }
    const char* library = argv[1];
    const std::unique_ptr<Cycle> cycleKind = MakeCycle(argv[2]);
    const unsigned cycles = std::strtoul(argv[3], nullptr, 10);
    const unsigned every = args == 5 ? std::strtoul(argv[4], nullptr, 10) : 1000;
    if (!cycleKind || cycles == 0 || every == 0) {
        std::fprintf(stderr, "load_cycle: unknown kind or zero count\n");
        return 2;
    }
    // Winsock for select, started once so that it is part of every report.
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);

    ProcessFigures warm;
    ProcessFigures figures = ReadProcessFigures();
    Report("before", 0, figures);
    int result = 0;
    for (unsigned cycle = 1; cycle <= cycles && result == 0; ++cycle) {
        HMODULE module = LoadLibraryA(library);
        if (!module || !cycleKind->Bind(module) || !cycleKind->Play(cycle)) {
            std::fprintf(stderr, "load_cycle: cycle %u failed (%s)\n", cycle, module ? "a step" : "LoadLibrary");
            result = 3;
        }
        if (module) FreeLibrary(module);
        if (cycle % every == 0 || cycle == cycles) {
            Sleep(200);  // the last cycle's threads on their way out
            figures = ReadProcessFigures();
            Report("cycle", cycle, figures);
            if (cycle == every) warm = figures;
        }
    }
    if (result != 0 || !check) return result;
    if (cycles <= every) {
        std::fprintf(stderr, "load_cycle: --check needs more cycles than one report's worth\n");
        return 2;
    }
    std::string grown = Growth(warm, figures);
    if (GetModuleHandleA(library)) grown += " the library is still loaded;";
    if (grown.empty()) return 0;
    std::fprintf(stderr, "load_cycle: grew after the warm-up:%s\n", grown.c_str());
    return 1;
}
