#include "resolver_bench.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <vector>

#include "init_floor.h"
#include "proc_address.h"
#include "samples.h"

namespace {

using IntFn = int32_t(__cdecl*)();
using ExecuteFn = int32_t(__cdecl*)(const char*, char*, char*);

const DWORD kHostPollMs = 10;
const DWORD kRunTimeoutMs = 70000;  // a Wi-Fi or Ethernet run ends within 60 s

// The demo network's VCIs (demo/dnssd_scenario.txt): DEMO-01 answers over USB and Wi-Fi,
// DEMO-02 over Ethernet.
const char* SelectionFor(const std::string& link)
{
    if (link == "usb") return "DEMO-01._zeb_vci._tcp.local,58713,usb";
    if (link == "wifi") return "DEMO-01._zeb_vci._tcp.local,58713,wifi";
    if (link == "eth") return "DEMO-02._zeb_vci._tcp.local,58713,eth";
    return nullptr;
}

struct Resolver {
    HMODULE module = nullptr;
    IntFn init = nullptr, free = nullptr, updateState = nullptr;
    ExecuteFn execute = nullptr;

    bool Load(const std::wstring& folder)
    {
        module = LoadLibraryW((folder + L"\\ZanviResolver.dll").c_str());
        if (!module) return false;
        init = ProcAddress<IntFn>(module, "Zanviresolver_Init");
        free = ProcAddress<IntFn>(module, "Zanviresolver_Free");
        updateState = ProcAddress<IntFn>(module, "Zanviresolver_UpdateState");
        execute = ProcAddress<ExecuteFn>(module, "Zanviresolver_Execute");
        return init && free && updateState && execute;
    }
    void Unload()
    {
        if (module) FreeLibrary(module);
        module = nullptr;
    }
};

// What LoadLibrary + Init asks of the outside, without the plug-in: a library loaded, both
// libraries and one adapter survey, and traceLines lines to the debugger output. Answers the
// milliseconds it took, -1 when a library is missing.
double BareInitMs(const std::wstring& folder, int traceLines)
{
    double start = NowMs();
    CStubLibrary stub(folder);
    HMODULE dnssd = LoadLibraryW((folder + L"\\dnssd.dll").c_str());
    HMODULE iphlpapi = LoadLibraryW(L"Iphlpapi");
    using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    auto getAdaptersInfo = ProcAddress<GetAdaptersInfoFn>(iphlpapi, "GetAdaptersInfo");
    bool ok = stub.Loaded() && dnssd && getAdaptersInfo;
    if (ok) {
        std::vector<IP_ADAPTER_INFO> records(1);
        ULONG size = sizeof(IP_ADAPTER_INFO);
        if (getAdaptersInfo(records.data(), &size) != ERROR_SUCCESS) {
            records.resize(size / sizeof(IP_ADAPTER_INFO) + 1);
            size = static_cast<ULONG>(records.size() * sizeof(IP_ADAPTER_INFO));
            getAdaptersInfo(records.data(), &size);
        }
        SendTraceLines(traceLines);
    }
    double elapsed = NowMs() - start;
    if (iphlpapi) FreeLibrary(iphlpapi);
    if (dnssd) FreeLibrary(dnssd);
    return ok ? elapsed : -1;
}

}  // namespace

int RunResolve(const std::wstring& folder, const std::string& link, int repetitions)
{
    const char* selection = SelectionFor(link);
    if (!selection || repetitions < 1) return Fail("resolve: usb, wifi or eth, 1 repetition or more");
    Resolver resolver;
    int result = resolver.Load(folder) && resolver.init() == 0 ? 0 : Fail("resolve: the plug-in did not start");
    const std::string figure = "resolver." + link;
    for (int i = 0; result == 0 && i < repetitions; ++i) {
        char address[16] = "";
        char port[6] = "";
        double start = NowMs();
        int32_t state = resolver.execute(selection, address, port);
        if (state == 1) {
            PollUntil([&] {
                state = resolver.updateState();
                return state == 3 || state == 5;
            }, kRunTimeoutMs, kHostPollMs);
        }
        if (state != 3) result = Fail(("resolve: the " + link + " run did not end Ready").c_str());
        else PrintSample(figure.c_str(), NowMs() - start);
    }
    if (resolver.free) resolver.free();
    resolver.Unload();
    return result;
}

int RunResolverInit(const std::wstring& folder, const std::string& kind, int repetitions, int traceLines)
{
    if ((kind != "plugin" && kind != "bare" && kind != "lines") || repetitions < 1 || traceLines < 0)
        return Fail("resolver-init: plugin, bare or lines, 1 repetition or more");
    if (kind == "lines") return PrintInitTraceLines<Resolver>(folder, "resolver.init.lines");
    const std::string suffix = kind == "bare" ? ".bare" : "";
    for (int i = 0; i < repetitions; ++i) {
        const std::string figure = (i == 0 ? "resolver.init.cold" : "resolver.init.warm") + suffix;
        if (kind == "bare") {
            double elapsed = BareInitMs(folder, traceLines);
            if (elapsed < 0) return Fail("resolver-init: the libraries did not load");
            PrintSample(figure.c_str(), elapsed);
            continue;
        }
        double start = NowMs();
        Resolver resolver;
        bool started = resolver.Load(folder) && resolver.init() == 0;
        double end = NowMs();
        if (resolver.free) resolver.free();
        resolver.Unload();
        if (!started) return Fail("resolver-init: the plug-in did not start");
        PrintSample(figure.c_str(), end - start);
    }
    return 0;
}
