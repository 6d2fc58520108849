// FWUpdate's operations on the VCI and the application lists, with their diagnostic traces.
#include "drx_runtime.h"
#include "fwupdate.h"
#include "log_file.h"
#include "rt_codes.h"
#include "rt_format.h"

namespace {

CDrxRuntime& Runtime() { return CDrxRuntime::Instance(); }

const char* RunStateText(int32_t runState) { return runState == DRX_RT_APP_IDLE ? "Idle" : "Running"; }

}  // namespace

int32_t FWUpdate::connectToVCI(int32_t iSerialNumber, uint32_t uiInterface)
{
    g_LogFile.Write("D:", "FWUpdate::connectToVCI() - Attempting to connect to %d on interface type %d [%s]",
                    iSerialNumber, static_cast<int>(uiInterface), InterfaceName(uiInterface));
    int32_t r = Runtime().Connect(iSerialNumber, uiInterface);
    if (r == 0) {
        g_LogFile.Write("D:", "FWUpdate::connectToVCI() - ORBAL Runtime Connected to Device");
    } else {
        g_LogFile.Write("E:", "FWUpdate::connectToVCI() - ORBAL Runtime Error Connecting to Device [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
    }
    return r;
}

int32_t FWUpdate::findVCI(int32_t iSerialNumber, uint32_t uiInterface)
{
    g_LogFile.Write("D:", ">>> FWUpdate::findVCI(%d)", iSerialNumber);
    ModuleMap modules;
    int32_t r = Runtime().GetModuleList(modules);
    if (r != 0) {
        g_LogFile.Write("E:", "FWUpdate::findVCI() - Error retrieving Module List [0x%X]", static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return r;
    }
    g_LogFile.Write("D:", "FWUpdate::findVCI() - Orbal Looking for module s/n %d detected via interface type %d [%s]",
                    iSerialNumber, static_cast<int>(uiInterface), InterfaceName(uiInterface));
    r = -1;
    for (const auto& entry : modules) {
        const DrxRtModuleInfo& module = entry.second;
        if (module.iSerialNumber == iSerialNumber && (module.uiInterfaces & uiInterface) == uiInterface) {
            g_LogFile.Write("D:", "FWUpdate::findVCI() - Found TARGET module!");
            r = 0;
            break;
        }
    }
    if (r != 0) g_LogFile.Write("D:", "FWUpdate::findVCI() - did not find target module.");
    g_LogFile.Write("D:", "<<< FWUpdate::findVCI()");
    return r;
}

int32_t FWUpdate::_findTargetVCI() { return findVCI(_updateSerNum, DRX_RT_IF_USB); }

int32_t FWUpdate::_discoverModules()
{
    g_LogFile.Write("D:", ">>> FWUpdate::_discoverModules()");
    ModuleMap modules;
    int32_t r = Runtime().GetModuleList(modules);
    if (r != 0) {
        g_LogFile.Write("E:", "FWUpdate::_discoverModules() - Error retrieving Module List [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return r;
    }
    g_LogFile.Write("D:", "FWUpdate::_discoverModules() - Orbal Looking for devices detected via LOCAL, USB, WIFI, ETH");
    static const struct {
        uint32_t bit;
        const char* line;
    } kKinds[] = {
        {DRX_RT_IF_LOCAL, "FWUpdate::_discoverModules() - Found device on localhost."},
        {DRX_RT_IF_USB, "FWUpdate::_discoverModules() - Found device on USB."},
        {DRX_RT_IF_WIRELESS, "FWUpdate::_discoverModules() - Found device on Wireless."},
        {DRX_RT_IF_ETHERNET, "FWUpdate::_discoverModules() - Found device on Ethernet."},
    };
    bool found = false;
    for (auto it = modules.begin(); it != modules.end() && !found; ++it) {
        for (const auto& kind : kKinds) {
            if (it->second.uiInterfaces & kind.bit) {
                g_LogFile.Write("D:", "%s", kind.line);
                found = true;
                break;
            }
        }
        if (!found)
            g_LogFile.Write("D:", "FWUpdate::_discoverModules() - Unknown Module Interface detected %d",
                            static_cast<int>(it->second.uiInterfaces));
    }
    if (!found) g_LogFile.Write("D:", "FWUpdate::_discoverModules() - No VCIs found");
    g_LogFile.Write("D:", "<<< FWUpdate::_discoverModules()");
    return 0;
}

int32_t FWUpdate::_discoverPcApps()
{
    g_LogFile.Write("D:", ">>> FWUpdate::_discoverPcApps()");
    PCAppList apps;
    int32_t r = Runtime().GetAppsListPC(apps);
    if (r != 0) {
        g_LogFile.Write("I:", "FWUpdate::_discoverPcApps() - Error in Retrieving App List [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return r;
    }
    g_LogFile.Write("D:", "FWUpdate::_discoverPcApps() - Retrieved App List [%d app(s) found]",
                    static_cast<int>(apps.size()));
    for (const DrxRtPCAppItem& app : apps)
        g_LogFile.Write("D:", "FWUpdate::_discoverPcApps() - PCAppItem\n\tName:    %s\n\tVersion: %s\n\tDate:    %s",
                        app.szName, FormatVersion(app.uiVersion).c_str(), FormatDate(app.uiDate).c_str());
    if (apps.empty()) g_LogFile.Write("D:", "<<< FWUpdate::_discoverPcApps() - no apps found.");
    g_LogFile.Write("D:", "<<< FWUpdate::_discoverPcApps()");
    return 0;
}

int32_t FWUpdate::_discoverVCIApps(int32_t iSerialNumber)
{
    g_LogFile.Write("D:", ">>> FWUpdate::_discoverVCIApps(%d)", iSerialNumber);
    VCIAppList apps;
    int32_t r = Runtime().GetAppsListVci(iSerialNumber, apps);
    if (r != 0) {
        g_LogFile.Write("D:", "FWUpdate::_discoverVCIApps() - Error in Retrieving App List [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return r;
    }
    g_LogFile.Write("D:", "FWUpdate::_discoverVCIApps() - Retrieved App List from VCI %d", iSerialNumber);
    for (const DrxRtVCIAppItem& app : apps)
        g_LogFile.Write("D:",
                        "FWUpdate::_discoverVCIApps() - VCIAppItem\n\tName:    %s\n\tVersion: %s\n\tDate:    %s\n\tState:"
                        "   %s",
                        app.szName, FormatVersion(app.uiVersion).c_str(), FormatDate(app.uiDate).c_str(),
                        RunStateText(app.iRunState));
    if (apps.empty()) g_LogFile.Write("D:", "<<< FWUpdate::_discoverVCIApps() - no apps found.");
    g_LogFile.Write("D:", "<<< FWUpdate::_discoverVCIApps()");
    return 0;
}

int32_t FWUpdate::_findPcApp(const char* pszName)
{
    g_LogFile.Write("D:", ">>> FWUpdate::_findPcApp('%s')", pszName);
    PCAppList apps;
    int32_t r = Runtime().GetAppsListPC(apps);
    if (r != 0) {
        g_LogFile.Write("I:", "FWUpdate::_findPcApp() - Error in Retrieving App List [0x%X]", static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return r;
    }
    g_LogFile.Write("D:", "FWUpdate::_findPcApp() - Retrieved App List [%d app(s) found]", static_cast<int>(apps.size()));
    for (const DrxRtPCAppItem& app : apps) {
        g_LogFile.Write("D:", "FWUpdate::_findPcApp() - PCAppItem Name %s Version = %s Date = %s", app.szName,
                        FormatVersion(app.uiVersion).c_str(), FormatDate(app.uiDate).c_str());
        if (_stricmp(app.szName, pszName) == 0) {
            g_LogFile.Write("D:", "FWUpdate::_findPcApp() - Found target application!");
            break;
        }
    }
    g_LogFile.Write("D:", "<<< FWUpdate::_findPcApp()");
    return 0;
}

int32_t FWUpdate::_findVCIApp(int32_t iSerialNumber, const char* pszName)
{
    int32_t id = 0;
    VCIAppList apps;
    int32_t r = Runtime().GetAppsListVci(iSerialNumber, apps);
    if (r == 0) {
        g_LogFile.Write("D:", "FWUpdate::_findVCIApp() - Retrieved App List from VCI %d", iSerialNumber);
        for (const DrxRtVCIAppItem& app : apps) {
            if (_stricmp(app.szName, pszName) != 0) continue;
            g_LogFile.Write("D:", "FWUpdate::_findVCIApp() - Found target app '%s' [v%s]", app.szName,
                            FormatVersion(app.uiVersion).c_str());
            id = app.iAppId;
            break;
        }
    } else {
        g_LogFile.Write("E:", "FWUpdate::_findVCIApp() - Error in Retrieving App List [0x%X]", static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
    }
    if (id == 0) g_LogFile.Write("W:", "FWUpdate::_findVCIApp() - Did NOT find app name '%s'", pszName);
    g_LogFile.Write("D:", "<<< FWUpdate::_findVCIApp()");
    return id;
}

FWUpdate::EInstallOutcome FWUpdate::installVCIApp(int32_t /*iSerialNumber*/, const char* pszName,
                                                  const std::function<bool()>& stopped)
{
    g_LogFile.Write("D:", "FWUpdate::installVCIApp() - Starting to install %s", pszName);
    int32_t r = Runtime().InstallVciApp(pszName, stopped);
    if (r == CDrxRuntime::kInstallStopped) return kInstallReleased;
    if (r == CDrxRuntime::kInstallBusy) {
        // Another install on this VCI has not ended yet: refused as an update during one is.
        g_LogFile.Write("E:", "FWUpdate::installVCIApp() - an earlier install is still in progress");
        setStates(US_Error, ES_DLActive);
        return kInstallFailed;
    }
    if (r != 0) {
        g_LogFile.Write("E:", "FWUpdate::installVCIApp() - Error Installing Application [0x%X]",
                        static_cast<unsigned>(r));
        setStates(US_Error, rtErrorCodeToErrorState(r));
        return kInstallFailed;
    }
    g_LogFile.Write("D:", "FWUpdate::installVCIApp() - Installation Complete");
    return kInstallDone;
}

int32_t FWUpdate::_uninstallVCIApp(int32_t /*iSerialNumber*/, const char* pszName)
{
    g_LogFile.Write("D:", "FWUpdate::_uninstallVCIApp() - Starting to uninstall app (name=%s)", pszName);
    int32_t r = Runtime().UnnstallVciApp(pszName);
    if (r != 0) {
        g_LogFile.Write("E:", "FWUpdate::_uninstallVCIApp() - Error Unnstalling Application [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
    } else {
        g_LogFile.Write("D:", "FWUpdate::_uninstallVCIApp() - Uninstallation Complete");
    }
    return 0;
}

int32_t FWUpdate::_startVciApplication(int32_t /*iSerialNumber*/, int32_t iAppId)
{
    return Runtime().StartApplication(iAppId);
}

int32_t FWUpdate::_stopVciApplication(int32_t /*iSerialNumber*/, int32_t iAppId)
{
    int32_t r = Runtime().StopApplication(iAppId);
    if (r != 0)
        g_LogFile.Write("I:", "FWUpdate::_stopVciApplication() - Error attempting to stop application [0x%X]",
                        static_cast<unsigned>(r));
    return r;
}

std::string FWUpdate::_getVciPlatformVersion(int32_t /*iSerialNumber*/)
{
    std::string version;
    Runtime().GetCommonPlatformVersion(version);
    return version;
}
