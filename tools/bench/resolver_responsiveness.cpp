#include "resolver_responsiveness.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "dnssd_steering.h"
#include "proc_address.h"
#include "samples.h"

namespace {

using IntFn = int32_t(__cdecl*)();
using ExecuteFn = int32_t(__cdecl*)(const char*, char*, char*);

// The demo network: DEMO-01 answers over USB, DEMO-02 over Ethernet; DEMO-09 is nowhere.
const char kUsbText[] = "DEMO-01._zeb_vci._tcp.local,58713,usb";
const char kEthText[] = "DEMO-02._zeb_vci._tcp.local,58713,eth";
const char kSilentText[] = "DEMO-09._zeb_vci._tcp.local,58713,eth";

// The entry points a run calls, each held in turn.
const char* const kHeldCalls[] = {"DNSServiceResolve", "DNSServiceRefSockFD", "DNSServiceProcessResult",
                                  "DNSServiceRefDeallocate", "DNSServiceGetAddrInfo"};
constexpr DWORD kHoldMs = 1000;
constexpr DWORD kRunEndMs = 20000;  // an answered run ends in about a second

// What each export may take: at once for Cancel, the state and the text exports; Execute its
// 100 ms start delay; Init the three 500 ms waits for an ended run's threads; Free its bound.
struct Export {
    const char* name;
    double targetMs;
};
const Export kTargets[] = {{"Cancel", 50},      {"UpdateState", 50}, {"ErrorState", 50},
                           {"Progress", 50},    {"ProgressMax", 50}, {"ErrorLine", 50},
                           {"ServiceName", 50}, {"Execute", 150},    {"Init", 1550},
                           {"Free", 10000}};

struct Resolver {
    HMODULE module = nullptr;
    IntFn init = nullptr, free = nullptr, cancel = nullptr, updateState = nullptr, errorState = nullptr,
          progress = nullptr, progressMax = nullptr, errorLine = nullptr, serviceName = nullptr;
    ExecuteFn execute = nullptr;
    PFN_ZanviDnssdHoldCall holdCall = nullptr;
    std::wstring folder;

    bool Load(const std::wstring& pluginFolder)
    {
        folder = pluginFolder;
        module = LoadLibraryW((folder + L"\\ZanviResolver.dll").c_str());
        init = ProcAddress<IntFn>(module, "Zanviresolver_Init");
        free = ProcAddress<IntFn>(module, "Zanviresolver_Free");
        cancel = ProcAddress<IntFn>(module, "Zanviresolver_Cancel");
        updateState = ProcAddress<IntFn>(module, "Zanviresolver_UpdateState");
        errorState = ProcAddress<IntFn>(module, "Zanviresolver_ErrorState");
        progress = ProcAddress<IntFn>(module, "Zanviresolver_Progress");
        progressMax = ProcAddress<IntFn>(module, "Zanviresolver_ProgressMax");
        errorLine = ProcAddress<IntFn>(module, "Zanviresolver_ErrorLine");
        serviceName = ProcAddress<IntFn>(module, "Zanviresolver_ServiceName");
        execute = ProcAddress<ExecuteFn>(module, "Zanviresolver_Execute");
        return init && free && cancel && updateState && errorState && progress && progressMax &&
               errorLine && serviceName && execute && Bind(init() == 0);
    }
    // The stand-in's steering, bound afresh after each Init: the plug-in may have loaded it anew.
    bool Bind(bool initialised)
    {
        holdCall = ProcAddress<PFN_ZanviDnssdHoldCall>(GetModuleHandleW((folder + L"\\dnssd.dll").c_str()),
                                                       "ZanviDnssdHoldCall");
        return initialised && holdCall != nullptr;
    }
    ~Resolver()
    {
        if (free) free();
        if (module) FreeLibrary(module);
    }
};

// Times one call of an export and prints its sample; answers the export's result.
template <class Call>
int32_t Timed(const char* name, Call call)
{
    const double start = NowMs();
    const int32_t result = call();
    const double elapsed = NowMs() - start;
    char figure[64];
    std::snprintf(figure, sizeof figure, "resp.ZanviResolver.%s", name);
    PrintSample(figure, elapsed);
    return result;
}

// The exports a host's UI thread calls at any moment, Cancel apart (UpdateState unless another
// host thread polls it: whichever poll sees the run complete ends it).
void TimeStateExports(const Resolver& r, bool withUpdateState = true)
{
    Timed("ErrorState", r.errorState);
    Timed("Progress", r.progress);
    Timed("ProgressMax", r.progressMax);
    Timed("ErrorLine", r.errorLine);
    Timed("ServiceName", r.serviceName);
    if (withUpdateState) Timed("UpdateState", r.updateState);
}

// Another host thread: runs body, joined at destruction.
class HostThread {
public:
    explicit HostThread(std::function<void()> body) : m_body(std::move(body))
    {
        m_thread = CreateThread(nullptr, 0, Entry, this, 0, nullptr);
    }
    ~HostThread()
    {
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
    }
    HostThread(const HostThread&) = delete;
    HostThread& operator=(const HostThread&) = delete;
    bool Started() const { return m_thread != nullptr; }

private:
    static DWORD WINAPI Entry(LPVOID self)
    {
        static_cast<HostThread*>(self)->m_body();
        return 0;
    }
    std::function<void()> m_body;
    HANDLE m_thread = nullptr;
};

class Event {
public:
    Event() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { if (m_handle) CloseHandle(m_handle); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// A USB run whose thread is held inside call; then, from this thread, ending is timed: the state
// exports and Cancel (while another host thread polls), Init, or Free (and an Init untimed).
bool HeldRun(Resolver& r, const char* call, const char* ending)
{
    Event entered;
    char address[16] = "", port[6] = "";
    if (r.holdCall(call, kHoldMs, entered.Get()) != 0) return false;
    if (Timed("Execute", [&] { return r.execute(kUsbText, address, port); }) != 1) return false;
    const bool reached = WaitForSingleObject(entered.Get(), kRunEndMs) == WAIT_OBJECT_0;
    if (std::string(ending) == "cancel") {
        std::atomic<bool> stop{false};
        HostThread poller([&] {
            while (!stop) {
                Timed("UpdateState", r.updateState);
                Sleep(10);
            }
        });
        TimeStateExports(r, false);
        Timed("Cancel", r.cancel);
        TimeStateExports(r, false);
        stop = true;
    } else if (std::string(ending) == "init") {
        if (!r.Bind(Timed("Init", r.init) == 0)) return false;
    } else {
        Timed("Free", r.free);
        if (!r.Bind(r.init() == 0)) return false;
    }
    Sleep(kHoldMs);  // the held call returns before the next hold is armed
    return reached;
}

// One run driven by another host thread (Execute, then UpdateState every 10 ms to the end)
// while this thread times the state exports throughout; cancelAfterMs ends it with a Cancel.
bool SampledRun(Resolver& r, const char* text, DWORD cancelAfterMs)
{
    std::atomic<bool> done{false};
    std::atomic<int32_t> outcome{0};
    char address[16] = "", port[6] = "";
    {
        HostThread host([&] {
            int32_t state = Timed("Execute", [&] { return r.execute(text, address, port); });
            const double start = NowMs();
            while ((state == 1 || state == 2 || state == 4) && NowMs() - start < kRunEndMs) {
                Sleep(10);
                state = Timed("UpdateState", r.updateState);
            }
            outcome = state;
            done = true;
        });
        if (!host.Started()) return false;
        const double start = NowMs();
        bool canceled = cancelAfterMs == 0;
        while (!done) {
            TimeStateExports(r, false);
            if (!canceled && NowMs() - start >= cancelAfterMs) {
                Timed("Cancel", r.cancel);
                canceled = true;
            }
            Sleep(5);
        }
    }
    Timed("Cancel", r.cancel);  // after the run's end as well
    return cancelAfterMs ? outcome == 5 : outcome == 3;
}

}  // namespace

int RunResolverResponsiveness(const std::wstring& folder)
{
    for (const Export& e : kTargets) std::printf("target resp.ZanviResolver.%s %.0f\n", e.name, e.targetMs);
    std::fflush(stdout);
    Resolver r;
    if (!r.Load(folder)) return Fail("resolver-responsiveness: the plug-in or the stand-in's steering did not load");
    for (const char* call : kHeldCalls)
        for (const char* ending : {"cancel", "init", "free"})
            if (!HeldRun(r, call, ending)) {
                std::fprintf(stderr, "bench: no run reached %s\n", call);
                return 1;
            }
    if (!SampledRun(r, kUsbText, 0) || !SampledRun(r, kEthText, 0) || !SampledRun(r, kSilentText, 1500))
        return Fail("resolver-responsiveness: a sampled run did not end as expected");
    // The last one from the host's side: Free while a run waits for an answer that never comes.
    char address[16] = "", port[6] = "";
    if (r.execute(kSilentText, address, port) != 1) return Fail("resolver-responsiveness: Execute");
    Sleep(1000);
    Timed("Free", r.free);
    return 0;
}
