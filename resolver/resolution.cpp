#include "resolution.h"

#include <shlobj.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "ansi_text.h"
#include "dnssd_client.h"
#include "library_thread.h"
#include "log.h"
#include "network_adapter_info.h"
#include "network_adapters.h"
#include "run_state.h"
#include "string_tokenizer.h"
#include "wifi_api.h"

namespace {

constexpr int kUsbAttempts = 15;
constexpr int32_t kUsbProgressMax = 15;
constexpr int32_t kNetworkProgressMax = 60;
constexpr DWORD kUsbRetryMs = 1000;
constexpr DWORD kTimerTickMs = 100;
constexpr int kTicksPerSecond = 10;
constexpr std::size_t kSsidChars = 256;

void RealPauseBeforeUsbRetry()
{
    // A stop ends the pause early; the attempt loop then sees the flag.
    HANDLE stop = g_hStopEvent;
    if (stop)
        WaitForSingleObject(stop, kUsbRetryMs);
    else
        Sleep(kUsbRetryMs);
}

HRESULT RealGetAppDataFolder(wchar_t* folder)
{
    return SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
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

void MainThread()
{
    WriteLog(L"D:", L">> MainThread(): Start");
    GetNetworkInterfaces();
    ClearReplies();

    const EDesiredInterface desired = DesiredInterfaceFor(g_szInterfaceField);
    g_DesiredInterface = desired;
    if (desired == DESIRED_USB) {
        g_ProgressMax = kUsbProgressMax;
        for (int attempt = 0;; ++attempt) {
            const int32_t usb = FindUSBInterface();
            g_InterfaceIndex = static_cast<uint32_t>(usb);
            if (usb != -1) {
                if (g_StopFlag) {
                    g_ResolverState = RS_Error;
                    g_Progress = -1;
                    return;
                }
                break;
            }
            WriteLog(L"D:", L"MainThread(): USB interface not found. Wait 1 second and try again.");
            g_resolutionPlatform.pauseBeforeUsbRetry();
            GetNetworkInterfaces();
            if (g_StopFlag) {
                g_ResolverState = RS_Error;
                return;
            }
            if (attempt + 1 >= kUsbAttempts) {
                g_ResolverState = RS_Error;
                g_Progress = -1;
                return;
            }
        }
    } else {
        g_ProgressMax = kNetworkProgressMax;
        g_InterfaceIndex = 0;
        WriteLog(L"D:", desired == DESIRED_WIFI ? L"MainThread(): Desired interface is wifi"
                                                : L"MainThread(): Desired interface is eth");
    }

    g_Progress = 0;
    g_ExitFlag = false;
    StoreThreadHandle(g_hTimerThread, StartLibraryThread(TimerThread));
    if (g_ExitFlag) return;

    const bool resolved = GoResolveService();
    if (g_StopFlag) return;
    bool anyReply = false;
    {
        std::lock_guard<CMutex> lock(g_RepliesLock);
        anyReply = !g_ResolveReplies.empty();
    }
    if (resolved || anyReply) {
        g_Progress = g_ProgressMax / 2;
        g_ExitFlag = false;
        if (GoGetAddressInfo()) {
            g_ResolverState = RS_Ready;
            g_Progress = g_ProgressMax.load();
        } else {
            g_ResolverState = RS_Error;
        }
    } else {
        g_ResolverState = RS_Error;
    }
    WriteLog(L"D:", L"<< MainThread() Exit");
}

void TimerThread()
{
    for (int second = 0; second < g_ProgressMax && !g_StopFlag; ++second) {
        for (int tick = 0; tick < kTicksPerSecond && !g_StopFlag; ++tick) Sleep(kTimerTickMs);
    }
    SignalStop();
    g_ExitFlag = true;
    g_Progress = -1;
}
