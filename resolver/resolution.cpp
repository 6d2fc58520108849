#include "resolution.h"

#include <shlobj.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "dnssd_client.h"
#include "log.h"
#include "network_adapter_info.h"
#include "network_adapters.h"
#include "resolver_run.h"
#include "run_state.h"
#include "string_tokenizer.h"
#include "system_library.h"
#include "wifi_api.h"

namespace {

constexpr int kUsbAttempts = 15;
constexpr int32_t kUsbProgressMax = 15;
constexpr int32_t kNetworkProgressMax = 60;
constexpr DWORD kUsbRetryMs = 1000;
constexpr DWORD kTimerTickMs = 100;
constexpr int kTicksPerSecond = 10;
constexpr std::size_t kSsidChars = 256;
// How long the resolution thread gives the timer and event-loop threads to end once its run has
// ended, before it gives them up.
constexpr DWORD kThreadEndMs = 500;

// A stop ends the pause early; the attempt loop then sees it.
void RealPauseBeforeUsbRetry(HANDLE hRunStop) { WaitForSingleObject(hRunStop, kUsbRetryMs); }

// The shell library only for this call: imported, it would load (and unload) with every load
// of the plug-in.
HRESULT RealGetAppDataFolder(wchar_t* folder)
{
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    CSystemLibrary shell32(L"shell32.dll");
    auto getFolderPath = shell32.Bind<GetFolderPathFn>("SHGetFolderPathW");
    if (!getFolderPath) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return getFolderPath(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
}

const ResolutionPlatform kReal{RealPauseBeforeUsbRetry, RealGetAppDataFolder};
ResolutionPlatform g_resolutionPlatform = kReal;

bool CopyField(char* field, const std::string& value)
{
    if (value.size() >= kRequestFieldSize) return false;
    StringCchCopyA(field, kRequestFieldSize, value.c_str());
    return true;
}

bool SplitRequest(const std::string& text)
{
    const std::vector<std::string> fields = SplitTokens(text, ",");
    if (fields.size() != 3 || !CopyField(g_szFullServiceName, fields[0]) ||
        !CopyField(g_szPortField, fields[1]) || !CopyField(g_szInterfaceField, fields[2]))
        return false;
    const std::vector<std::string> parts = SplitTokens(g_szFullServiceName, ".");
    if (parts.size() != 4 || !CopyField(g_szServiceName, parts[0]) ||
        !CopyField(g_szRegType, parts[1] + "." + parts[2]) || !CopyField(g_szDomain, parts[3]))
        return false;
    const std::vector<std::string> halves = SplitTokens(g_szServiceName, "-");
    return halves.size() == 2 && CopyField(g_szDongleSsid, halves[1]);
}

}  // namespace

ResolutionPlatform& ResolutionPlatformCalls() { return g_resolutionPlatform; }
const ResolutionPlatform& RealResolutionPlatform() { return kReal; }

bool ParseServiceInstanceName(const char* text)
{
    if (text && SplitRequest(text)) return true;
    const std::wstring shown = WidenAnsi(text, static_cast<std::size_t>(-1));
    WriteLog(L"E:", L"'%s' is not a valid service instance name.", shown.c_str());
    return false;
}

void PrepareWifiDongle(const char* ssid)
{
    CNetworkAdapterInfo adapters;
    NetworkAdapter dongle;
    if (!adapters.getInterfaces(dongle)) return;
    WriteLog(L"D:", L"WiFi dongle interface GUID: %s", dongle.name.c_str());
    WriteLog(L"D:", L"  WiFi dongle connectionID: %s", dongle.connectionID.c_str());

    const std::wstring wideSsid = WidenAnsi(ssid, kSsidChars);
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(g_resolutionPlatform.getAppDataFolder(folder))) {
        WriteLog(L"E:", L"PrepareWifiDongle(): application data folder not found");
        return;
    }
    folder[MAX_PATH - 1] = L'\0';
    CWifiApi wifi;
    if (wifi.addAdHocProfile(folder, dongle, wideSsid, wideSsid))
        wifi.connectAdHoc(wideSsid, dongle, wideSsid);
}

namespace {

// The USB wait: true with the USB adapter's index once it is there. False when the run was
// stopped (it then ends without touching what the host sees) or after 15 attempts (Error).
bool WaitForUsbAdapter(CResolverRun& run, uint32_t& interfaceIndex)
{
    for (int attempt = 0;; ++attempt) {
        const int32_t usb = FindUSBInterface();
        if (usb != -1) {
            interfaceIndex = static_cast<uint32_t>(usb);
            return !run.Stopped();
        }
        WriteLog(L"D:", L"MainThread(): USB interface not found. Wait 1 second and try again.");
        g_resolutionPlatform.pauseBeforeUsbRetry(run.StopEvent());
        if (run.Stopped()) return false;
        GetNetworkInterfaces(&run.StopFlag());
        if (attempt + 1 >= kUsbAttempts) {
            run.Publish([&] {
                g_ResolverState = RS_Error;
                run.EndLocked();
            });
            return false;
        }
    }
}

// The two phases, which change the host's view only while the run is live. False when the run
// was stopped during the resolve phase.
bool Resolve(CResolverRun& run, CWorkerThread& eventLoop, uint32_t interfaceIndex)
{
    const bool resolved = GoResolveService(run, eventLoop, interfaceIndex);
    if (run.Stopped()) return false;
    bool anyReply = false;
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        anyReply = !run.m_ResolveReplies.empty();
    }
    if (!resolved && !anyReply) {
        run.Publish([] { g_ResolverState = RS_Error; });
        return true;
    }
    run.Publish([&] { g_Progress = run.m_ProgressMax / 2; });
    const bool delivered = GoGetAddressInfo(run, eventLoop);
    run.Publish([&] {
        if (delivered) {
            g_ResolverState = RS_Ready;
            g_Progress = run.m_ProgressMax.load();
        } else {
            g_ResolverState = RS_Error;
        }
    });
    return true;
}

}  // namespace

namespace {

void RunResolution(CResolverRun& run)
{
    WriteLog(L"D:", L">> MainThread(): Start");
    GetNetworkInterfaces(&run.StopFlag());

    const EDesiredInterface desired = run.DesiredInterface();
    const int32_t progressMax = desired == DESIRED_USB ? kUsbProgressMax : kNetworkProgressMax;
    run.m_ProgressMax = progressMax;
    run.Publish([&] { g_ProgressMax = progressMax; });
    uint32_t interfaceIndex = 0;
    if (desired == DESIRED_USB) {
        if (!WaitForUsbAdapter(run, interfaceIndex)) return;
    } else {
        WriteLog(L"D:", desired == DESIRED_WIFI ? L"MainThread(): Desired interface is wifi"
                                                : L"MainThread(): Desired interface is eth");
    }

    // Both end, or are given up, before this thread ends; the timer first.
    CWorkerThread eventLoop(kThreadEndMs);
    CWorkerThread timer(kThreadEndMs);
    if (!run.Publish([] { g_Progress = 0; })) return;
    if (!StartRunThread(timer, TimerThread, run)) {
        run.Publish([&] {
            g_ResolverState = RS_Error;
            run.EndLocked();
        });
        return;
    }
    if (Resolve(run, eventLoop, interfaceIndex)) WriteLog(L"D:", L"<< MainThread() Exit");
    // The run goes on until the timer, the host or a new run ends it; its threads end with it.
    run.WaitForStop(INFINITE);
}

}  // namespace

// Nothing unwinds out of a thread body: an exception ends the run in error.
void MainThread(void* context, HANDLE)
{
    const CRunOfThread hold(context);
    try {
        RunResolution(hold.Run());
    } catch (...) {
        hold.Run().EndOnException(L"MainThread");
    }
}

void TimerThread(void* context, HANDLE hStop)
{
    const CRunOfThread hold(context);
    CResolverRun& run = hold.Run();
    bool stopped = false;
    for (int second = 0; second < run.m_ProgressMax && !stopped; ++second)
        for (int tick = 0; tick < kTicksPerSecond && !stopped; ++tick)
            stopped = run.WaitForStop(kTimerTickMs, hStop);
    // Whether the time ran out or a stop came: the run has ended.
    run.End();
}
