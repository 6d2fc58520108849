#include "update_responsiveness.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "proc_address.h"
#include "samples.h"
#include "win32_sync.h"

namespace {

using IntFn = int32_t(__cdecl*)();
using TextFn = int32_t(__cdecl*)(char*, int32_t);
using MessageFn = int32_t(__cdecl*)(int32_t, char*, int32_t);
using ExecuteFn = int32_t(__cdecl*)(const char*, const char*, const char*, const char*, int32_t);
using JournalFn = int32_t(__cdecl*)(char*, int32_t);

const double kAtOnceMs = 50;
const double kFreeMs = 10000;
// Each paused call waits this long; the give-up cases outlast Free's bound.
const DWORD kPauseMs = 1500;
const DWORD kStuckMs = 12000;
const DWORD kRunTimeoutMs = 30000;
// The world of bench.sh's HXSystem.ini: DEMO-01 (serial 1) on USB, an install of 8 components.
const char kWorld[] =
    "module 1 6 1 DEMO-01\n"
    "pcapp zvci 1.3.0.3 2013-05-17\n"
    "vciapp 1 5 zvci 1.3.0.2 2013-01-01 running\n"
    "server 2.1.0.15 2013-02-01 DRX Product Version\n"
    "install 8\n"
    "delay 50\n";
// The calls the plug-in makes in Init, a run and Free, in that order.
const char* const kRuntimeCalls[] = {
    "DrxRtConstruct",     "DrxRtSetEventCallback", "DrxRtGetModuleIds",   "DrxRtConnect",
    "DrxRtDeleteClientInfo", "DrxRtGetVersionInformation", "DrxRtGetAppsPC", "DrxRtInstallVCIApp",
    "DrxRtInstallGetStatus", "DrxRtDisconnect",     "DrxRtDestruct",
};

struct Plugin {
    HMODULE module = nullptr;
    IntFn Init = nullptr, Free = nullptr, Cancel = nullptr;
    ExecuteFn Execute = nullptr;
    // The exports that only answer: name and a call.
    std::vector<std::pair<const char*, std::function<int32_t()>>> quick;

    bool Load(const std::wstring& folder)
    {
        module = LoadLibraryW((folder + L"\\zeb_fw_update.dll").c_str());
        Init = ProcAddress<IntFn>(module, "Init");
        Free = ProcAddress<IntFn>(module, "Free");
        Cancel = ProcAddress<IntFn>(module, "Cancel");
        Execute = ProcAddress<ExecuteFn>(module, "Execute");
        bool bound = Init && Free && Cancel && Execute;
        for (const char* name : {"UpdateState", "ErrorState", "Progress", "ProgressMax", "Version", "DataOut",
                                 "DataOutMax"}) {
            IntFn fn = ProcAddress<IntFn>(module, name);
            bound = bound && fn;
            quick.emplace_back(name, [fn] { return fn(); });
        }
        for (const char* name : {"UpdateVersion", "CurrentCmd", "DownloadPort", "ErrorLine"}) {
            TextFn fn = ProcAddress<TextFn>(module, name);
            bound = bound && fn;
            quick.emplace_back(name, [fn] {
                char text[16] = "abc";
                return fn(text, sizeof text);
            });
        }
        MessageFn message = ProcAddress<MessageFn>(module, "ErrorMessage");
        quick.emplace_back("ErrorMessage", [message] {
            char text[16] = "abc";
            return message(7, text, sizeof text);
        });
        return bound && message;
    }
    int32_t Update() const { return Execute("FWUpdate", "Zanvi", "", "", 0); }
    int32_t State() const { return quick[0].second(); }
    void Unload()
    {
        if (module) FreeLibrary(module);
        module = nullptr;
        quick.clear();
    }
};

// The worst time of each export, from any thread.
class Worst {
public:
    template <class Fn>
    int32_t Time(const char* name, Fn fn)
    {
        double start = NowMs();
        int32_t result = fn();
        double ms = NowMs() - start;
        std::lock_guard<CMutex> lock(m_lock);
        double& worst = m_worst[name];
        if (ms > worst) worst = ms;
        return result;
    }
    std::map<std::string, double> Figures()
    {
        std::lock_guard<CMutex> lock(m_lock);
        return m_worst;
    }

private:
    CMutex m_lock;
    std::map<std::string, double> m_worst;
};

// A second host thread that keeps calling the answering exports until stopped.
class Hammer {
public:
    Hammer(Plugin& plugin, Worst& worst) : m_plugin(plugin), m_worst(worst)
    {
        m_thread = CreateThread(nullptr, 0, Entry, this, 0, nullptr);
    }
    ~Hammer()
    {
        m_stop = true;
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
    }
    bool Started() const { return m_thread != nullptr; }

private:
    static DWORD WINAPI Entry(void* self)
    {
        Hammer& h = *static_cast<Hammer*>(self);
        while (!h.m_stop) {
            for (auto& e : h.m_plugin.quick) h.m_worst.Time(e.first, e.second);
            Sleep(10);  // a host polling hard, not one that keeps the log busy on its own
        }
        return 0;
    }

    Plugin& m_plugin;
    Worst& m_worst;
    std::atomic<bool> m_stop{false};
    HANDLE m_thread = nullptr;
};

bool Entered(const char* entry)
{
    JournalFn journal = ProcAddress<JournalFn>(GetModuleHandleA("drx_runtime.dll"), "DrxSimJournal");
    if (!journal) return false;
    std::string text(static_cast<size_t>(journal(nullptr, 0)) + 256, '\0');
    if (journal(&text[0], static_cast<int32_t>(text.size())) > static_cast<int32_t>(text.size())) return false;
    return ("\n" + text).find("\n" + std::string(entry) + " ") != std::string::npos ||
           ("\n" + text).find("\n" + std::string(entry) + "\n") != std::string::npos;
}

bool WriteScenario(const std::wstring& path, const std::string& extra)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << kWorld << extra;
    return static_cast<bool>(file);
}

// One run with the runtime paused pauseMs in entry: Init, an update, Execute and Cancel while
// the call waits (when the run gets there), Free. The hammer times the rest throughout.
bool PausedRun(Plugin& plugin, Worst& worst, const char* entry, DWORD pauseMs)
{
    if (plugin.Init() != 0) return false;
    // Starting the update is Execute's own work (the host INI file, the worker); what must
    // answer at once is the command refused while the run is inside the paused call.
    if (plugin.Update() != 0) return false;
    bool entered = PollUntil([&] {
        int32_t state = plugin.State();
        return Entered(entry) || (state != 1 && state != 2);
    }, kRunTimeoutMs, 2);
    if (!entered) return false;
    Sleep(pauseMs < 1200 ? pauseMs / 4 : 300);  // inside the call, when the run reached it
    worst.Time("Execute", [&] { return plugin.Update(); });
    worst.Time("Cancel", [&] { return plugin.Cancel(); });
    return worst.Time("Free", [&] { return plugin.Free(); }) == 0;
}

}  // namespace

int RunUpdateResponsiveness(const std::wstring& folder)
{
    const std::wstring scenario = folder + L"\\responsiveness.scenario";
    if (!SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", scenario.c_str()))
        return Fail("update-responsiveness: no scenario variable");
    Worst worst;
    Plugin plugin;
    if (!plugin.Load(folder)) {
        plugin.Unload();
        return Fail("update-responsiveness: the plug-in did not load");
    }
    int result = 0;
    {
        Hammer hammer(plugin, worst);
        if (!hammer.Started()) result = Fail("update-responsiveness: no second host thread");
        // A run without pauses, then the runtime paused in each of its calls in turn.
        if (result == 0 && (!WriteScenario(scenario, "") || !PausedRun(plugin, worst, "DrxRtDestruct", 0)))
            result = Fail("update-responsiveness: a plain run failed");
        for (const char* entry : kRuntimeCalls) {
            if (result != 0) break;
            if (!WriteScenario(scenario, std::string("pause ") + entry + " " + std::to_string(kPauseMs) + "\n") ||
                !PausedRun(plugin, worst, entry, kPauseMs))
                result = Fail((std::string("update-responsiveness: the run paused in ") + entry + " failed").c_str());
        }
        // Calls that outlast Free's bound, in the worker and in Free's own shutdown: Free lets the
        // engine go; Init then fails at once until it is destroyed, and its engine goes with
        // Free as usual.
        for (const char* entry : {"DrxRtInstallVCIApp", "DrxRtDestruct"}) {
            if (result != 0) break;
            if (!WriteScenario(scenario, std::string("pause ") + entry + " " + std::to_string(kStuckMs) + "\n") ||
                !PausedRun(plugin, worst, entry, kStuckMs)) {
                result = Fail("update-responsiveness: a run that outlasts Free failed");
                break;
            }
            worst.Time("Init", [&] { return plugin.Init(); });
            worst.Time("Free", [&] { return plugin.Free(); });
            // Once the stuck call has returned, Init works again.
            if (!WriteScenario(scenario, "") || !PollUntil([&] {
                    bool started = plugin.Init() == 0;
                    plugin.Free();
                    return started;
                }, kRunTimeoutMs, 200))
                result = Fail("update-responsiveness: Init did not work again after Free let the engine go");
        }
    }
    plugin.Unload();
    if (result != 0) return result;
    std::map<std::string, double> figures = worst.Figures();
    for (const auto& figure : figures) {
        double target = figure.first == "Free" ? kFreeMs : kAtOnceMs;
        std::printf("target resp.zeb_fw_update.%s %.0f\n", figure.first.c_str(), target);
        std::printf("sample resp.zeb_fw_update.%s %.1f\n", figure.first.c_str(), figure.second);
    }
    std::fflush(stdout);
    return 0;
}
