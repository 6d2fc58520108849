#include "update_bench.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "drx_rt_api.h"
#include "init_floor.h"
#include "proc_address.h"
#include "samples.h"

namespace {

using IntFn = int32_t(__cdecl*)();
using ExecuteFn = int32_t(__cdecl*)(const char*, const char*, const char*, const char*, int32_t);

const DWORD kHostPollMs = 10;
const DWORD kUpdateTimeoutMs = 60000;
const int32_t kSerialNumber = 1;  // the VCI that HXSystem.ini names and the scenario attaches on USB
const int32_t kUsReady = 3;

struct Plugin {
    HMODULE module = nullptr;
    IntFn init = nullptr, free = nullptr, updateState = nullptr, progress = nullptr;
    ExecuteFn execute = nullptr;

    bool Load(const std::wstring& folder)
    {
        module = LoadLibraryW((folder + L"\\zeb_fw_update.dll").c_str());
        if (!module) return false;
        init = ProcAddress<IntFn>(module, "Init");
        free = ProcAddress<IntFn>(module, "Free");
        updateState = ProcAddress<IntFn>(module, "UpdateState");
        progress = ProcAddress<IntFn>(module, "Progress");
        execute = ProcAddress<ExecuteFn>(module, "Execute");
        return init && free && updateState && progress && execute;
    }
    bool StartUpdate() const { return execute("FWUpdate", "Zanvi", "", "", 0) == 0; }
    void Unload()
    {
        if (module) FreeLibrary(module);
        module = nullptr;
    }
};

// The runtime without the plug-in: the library the registry names, with the calls Init, the
// install and Free are asked to make.
class BareRuntime {
public:
    ~BareRuntime() { Unload(); }

    bool Load()
    {
        char path[MAX_PATH] = "";
        DWORD size = sizeof(path);
        if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quellar\\DRX-VCI\\Zanvi\\RT Support", "FunctionLibrary",
                         RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
            return false;
        m_module = LoadLibraryA(path);
        bool bound = m_module != nullptr;
#define ZANVI_BENCH_BIND(name, type) bound = ProcAddress<type>(m_module, #name) != nullptr && bound;
        if (bound) { DRXRT_ENTRY_POINTS(ZANVI_BENCH_BIND) }
#undef ZANVI_BENCH_BIND
        if (!bound) return false;
        m_construct = ProcAddress<DrxRtConstructFn>(m_module, "DrxRtConstruct");
        m_destruct = ProcAddress<DrxRtDestructFn>(m_module, "DrxRtDestruct");
        m_setCallback = ProcAddress<DrxRtSetEventCallbackFn>(m_module, "DrxRtSetEventCallback");
        m_connect = ProcAddress<DrxRtConnectFn>(m_module, "DrxRtConnect");
        m_disconnect = ProcAddress<DrxRtDisconnectFn>(m_module, "DrxRtDisconnect");
        m_install = ProcAddress<DrxRtInstallVCIAppFn>(m_module, "DrxRtInstallVCIApp");
        m_constructed = m_construct(0) == 0;
        return m_constructed && m_setCallback(DRX_RT_RUNTIME_HANDLE, 1, OnEvent, this) == 0;
    }
    // Connects on USB and starts installing; answers once the install reported two components.
    bool InstallUnderway()
    {
        unsigned char record[DRX_RT_INSTALL_RECORD_BYTES] = {};
        int32_t hInstall = 0;
        if (m_connect(kSerialNumber, DRX_RT_IF_USB, &m_hVci) != 0 ||
            m_setCallback(m_hVci, DRX_RT_APP_MGT_EVT, OnEvent, this) != 0 ||
            m_install(m_hVci, "zvci", record, &hInstall) != 0)
            return false;
        return PollUntil([this] { return m_events.load() >= 2; }, kUpdateTimeoutMs, 1);
    }
    void Unload()
    {
        if (m_hVci != -1) m_disconnect(m_hVci);
        m_hVci = -1;
        if (m_constructed) m_destruct();
        m_constructed = false;
        if (m_module) FreeLibrary(m_module);
        m_module = nullptr;
    }

private:
    static void DRXRT_CALL OnEvent(int32_t, uint32_t, uint32_t, void* context)
    {
        ++static_cast<BareRuntime*>(context)->m_events;
    }

    HMODULE m_module = nullptr;
    bool m_constructed = false;
    int32_t m_hVci = -1;
    std::atomic<int> m_events{0};
    DrxRtConstructFn m_construct = nullptr;
    DrxRtDestructFn m_destruct = nullptr;
    DrxRtSetEventCallbackFn m_setCallback = nullptr;
    DrxRtConnectFn m_connect = nullptr;
    DrxRtDisconnectFn m_disconnect = nullptr;
    DrxRtInstallVCIAppFn m_install = nullptr;
};

bool KnownKind(const std::string& kind, int repetitions)
{
    return (kind == "plugin" || kind == "bare") && repetitions >= 1;
}

}  // namespace

int RunUpdateInit(const std::wstring& folder, const std::string& kind, int repetitions, int traceLines)
{
    if ((!KnownKind(kind, repetitions) && kind != "lines") || traceLines < 0)
        return Fail("update-init: plugin, bare or lines, 1 repetition or more");
    if (kind == "lines") return PrintInitTraceLines<Plugin>(folder, "update.init.lines");
    const std::string suffix = kind == "bare" ? ".bare" : "";
    const std::wstring log = folder + L"\\bare_trace.log";
    for (int i = 0; i < repetitions; ++i) {
        const std::string figure = (i == 0 ? "update.init.cold" : "update.init.warm") + suffix;
        double start = NowMs();
        if (kind == "bare") {
            CStubLibrary stub(folder);
            BareRuntime runtime;
            bool loaded = stub.Loaded() && runtime.Load();
            if (loaded) AppendTraceLines(traceLines, log);
            double end = NowMs();
            if (!loaded) return Fail("update-init: the registered runtime did not start");
            PrintSample(figure.c_str(), end - start);
            continue;
        }
        Plugin plugin;
        bool started = plugin.Load(folder) && plugin.init() == 0;
        double end = NowMs();
        if (plugin.free) plugin.free();
        plugin.Unload();
        if (!started) return Fail("update-init: the plug-in did not start");
        PrintSample(figure.c_str(), end - start);
    }
    return 0;
}

int RunUpdate(const std::wstring& folder, int repetitions, double standInMs)
{
    if (repetitions < 1) return Fail("update: 1 repetition or more");
    Plugin plugin;
    int result = plugin.Load(folder) && plugin.init() == 0 ? 0 : Fail("update: the plug-in did not start");
    for (int i = 0; result == 0 && i < repetitions; ++i) {
        double start = NowMs();
        int32_t state = -1;
        if (plugin.StartUpdate()) {
            // Ready, Canceled or Error end it.
            PollUntil([&] {
                state = plugin.updateState();
                return state >= kUsReady;
            }, kUpdateTimeoutMs, kHostPollMs);
        }
        if (state != kUsReady) result = Fail("update: the update did not end Ready");
        else PrintSample("update.beyond", NowMs() - start - standInMs);
    }
    if (plugin.free) plugin.free();
    plugin.Unload();
    return result;
}

int RunUpdateFree(const std::wstring& folder, const std::string& kind, int repetitions)
{
    if (!KnownKind(kind, repetitions)) return Fail("update-free: plugin or bare, 1 repetition or more");
    Plugin plugin;
    if (kind == "plugin" && !plugin.Load(folder)) {
        plugin.Unload();
        return Fail("update-free: the plug-in did not load");
    }
    int result = 0;
    for (int i = 0; result == 0 && i < repetitions; ++i) {
        if (kind == "bare") {
            BareRuntime runtime;
            if (!runtime.Load() || !runtime.InstallUnderway()) {
                result = Fail("update-free: the bare install did not get under way");
                continue;
            }
            double start = NowMs();
            runtime.Unload();
            PrintSample("update.free.bare", NowMs() - start);
            continue;
        }
        // Progress leaves 0 when the runtime reports the second component.
        if (plugin.init() != 0 || !plugin.StartUpdate() ||
            !PollUntil([&] { return plugin.progress() > 0; }, kUpdateTimeoutMs, 1)) {
            plugin.free();
            result = Fail("update-free: the install did not get under way");
            continue;
        }
        double start = NowMs();
        plugin.free();
        PrintSample("update.free", NowMs() - start);
    }
    plugin.Unload();
    return result;
}
