// 5. The update plug-in's VCI runtime: registered, loadable, complete, started, and whether the
// compatibility file admits the PC's application on the platform version of the VCI on USB.
#include <windows.h>

#include <cstring>

#include "ansi_text.h"
#include "app_compatibility.h"
#include "doctor_sections.h"
#include "drx_rt_loader.h"
#include "drx_runtime.h"
#include "file_version.h"
#include "narrow_path.h"
#include "plugin_library.h"
#include "rt_codes.h"
#include "rt_format.h"
#include "runtime_location.h"
#include "service_text.h"

namespace {

// The application the update installs.
const char kZebApp[] = "zvci";

#define DRXRT_COUNT(name, type) +1
const int kEntryPointCount = 0 DRXRT_ENTRY_POINTS(DRXRT_COUNT);
#undef DRXRT_COUNT

std::string CodeText(int32_t code)
{
    const char* name = RtErrorCodeName(code);
    if (name) return Format("%s (0x%X)", name, static_cast<unsigned>(code));
    return Format("0x%X", static_cast<unsigned>(code));
}

std::string InterfacesText(uint32_t mask)
{
    std::string text;
    for (uint32_t bit = DRX_RT_IF_ETHERNET; bit <= DRX_RT_IF_BLUETOOTH; bit <<= 1)
        if (mask & bit) text += (text.empty() ? "" : " ") + std::string(InterfaceName(bit));
    return text.empty() ? "no interface" : text;
}

// "DEMO-01 (serial number 1)"
std::string ModuleText(const DrxRtModuleInfo& module)
{
    std::string name(module.szName, strnlen(module.szName, sizeof(module.szName)));
    return Format("%s (serial number %d)", name.c_str(), static_cast<int>(module.iSerialNumber));
}

// Whether the library at path loads and binds every entry point, as the plug-in binds them.
bool CheckBinding(CDoctorReport& report, const std::string& path, CVerdict& verdict)
{
    if (!FileExists(path)) {
        report.Line("Library: the file does not exist");
        verdict.Problem("the registered runtime library " + path + " does not exist",
                        "install the DRX VCI runtime again, or correct FunctionLibrary");
        return false;
    }
    const bool bound = CDrxRtLoader::Load(path.c_str());
    const DWORD loadError = GetLastError();
    if (!CDrxRtLoader::IsLoaded()) {
        const std::string why = ToDisplayText(SystemErrorText(loadError));
        report.Line(Format("Loads: no, %s (error %lu)", why.c_str(), loadError));
        verdict.Problem("the runtime library does not load (" + why + ")",
                        "install the DRX VCI runtime again, built for the update plug-in's 32 or 64 bits");
        return false;
    }
    const std::vector<const char*> unbound = CDrxRtLoader::Unbound();
    CDrxRtLoader::Unload();
    const std::string version = FileVersionText(WidenAnsi(path.c_str(), path.size()));
    report.Line("Loads: yes; version: " + (version.empty() ? std::string("no version record") : version));
    if (bound) {
        report.Line(Format("Entry points the update plug-in binds: all %d present", kEntryPointCount));
        return true;
    }
    std::string names;
    for (const char* name : unbound) names += (names.empty() ? "" : ", ") + std::string(name);
    report.Line(Format("Entry points the update plug-in binds: %u of %d missing: %s",
                       static_cast<unsigned>(unbound.size()), kEntryPointCount, names.c_str()));
    verdict.Problem("the runtime lacks entry points that the update plug-in binds (" + names + ")",
                    "install a DRX VCI runtime version that has them");
    return false;
}

// The VCI the runtime sees on USB, or null.
const DrxRtModuleInfo* ReportModules(CDoctorReport& report, const ModuleMap& modules)
{
    const DrxRtModuleInfo* onUsb = nullptr;
    if (modules.empty()) report.Line("VCIs the runtime sees: none");
    for (const auto& entry : modules) {
        const DrxRtModuleInfo& module = entry.second;
        report.Line(Format("VCI the runtime sees: %s, %s, %s", ModuleText(module).c_str(),
                           InterfacesText(module.uiInterfaces).c_str(), ModuleStateName(module.uiState)));
        if (!onUsb && (module.uiInterfaces & DRX_RT_IF_USB)) onUsb = &module;
    }
    return onUsb;
}

// The platform version of the VCI on USB, read over a connection of its own that changes
// nothing on the VCI (the plug-in's connection also clears a stored item there).
bool PlatformVersion(CDoctorReport& report, const DrxRtModuleInfo& vci, std::string& version, CVerdict& verdict)
{
    int32_t hVCI = -1;
    int32_t r = CDrxRtLoader::m_fnDrxRtConnect(vci.iSerialNumber, DRX_RT_IF_USB, &hVCI);
    if (r != 0) {
        report.Line(Format("VCI on USB: %s, refuses a connection, %s", ModuleText(vci).c_str(), CodeText(r).c_str()));
        verdict.Problem("the VCI on USB does not accept a connection (" + CodeText(r) + ")",
                        "close every other program that uses the VCI, then plug its USB cable in again");
        return false;
    }
    version = ReadCommonPlatformVersion(hVCI, vci.iSerialNumber);
    CDrxRtLoader::m_fnDrxRtDisconnect(hVCI);
    report.Line(Format("VCI on USB: %s, platform version %s", ModuleText(vci).c_str(),
                       version.empty() ? "none reported" : version.c_str()));
    return true;
}

std::string PcAppVersion(CDoctorReport& report)
{
    PCAppList apps;
    int32_t r = CDrxRuntime::Instance().GetAppsListPC(apps);
    const DrxRtPCAppItem* app = r == 0 ? FindPcApp(apps, kZebApp) : nullptr;
    std::string version = app ? FormatVersion(app->uiVersion) : std::string();
    if (r != 0)
        report.Line(Format("%s on the PC: the runtime cannot list the PC's applications, %s", kZebApp,
                           CodeText(r).c_str()));
    else
        report.Line(Format("%s on the PC: %s", kZebApp, app ? version.c_str() : "not installed"));
    return version;
}

void ReportCompatibility(CDoctorReport& report, const std::string& platform, const std::string& app,
                         CVerdict& verdict)
{
    const std::string path = AppCompatConfigPath();
    switch (LookUpAppCompat(path, platform, app)) {
    case EAppCompat::NoFile:
        report.Line("Compatibility file: " + path + ", missing: the update goes on without the check");
        break;
    case EAppCompat::NoEntry:
        report.Line("Compatibility file: " + path + ", no " + kZebApp + " entry for platform version " + platform +
                    ": the update goes on without the check");
        break;
    case EAppCompat::Admitted:
        report.Line("Compatibility file: " + path + ", admits " + kZebApp + " " + app + " on platform version " +
                    platform);
        break;
    case EAppCompat::NotAdmitted:
        report.Line("Compatibility file: " + path + ", does not admit " + kZebApp + " " + app +
                    " on platform version " + platform);
        verdict.Problem("the compatibility file does not admit " + std::string(kZebApp) + " " + app +
                        " on the VCI's platform version " + platform + ", so the update stops (ES_VersionConflict)",
                        "install a " + std::string(kZebApp) + " version that the file lists for that platform "
                        "version, or a compatibility file that lists this one");
        break;
    }
}

// With the runtime started: its self-test, its VCIs and the compatibility check.
void ReportStartedRuntime(CDoctorReport& report, CVerdict& verdict)
{
    int32_t r = CDrxRtLoader::m_fnDrxRtRunSelfTest();
    report.Line("Self-test: " + (r == 0 ? std::string("passed") : "failed, " + CodeText(r)));
    if (r != 0)
        verdict.Problem("the runtime's self-test fails (" + CodeText(r) + ")",
                        "install the DRX VCI runtime again; its documentation explains the code");

    ModuleMap modules;
    r = CDrxRuntime::Instance().GetModuleList(modules);
    const DrxRtModuleInfo* onUsb = nullptr;
    if (r != 0)
        report.Line("VCIs the runtime sees: the runtime cannot list them, " + CodeText(r));
    else
        onUsb = ReportModules(report, modules);
    if (!onUsb) {
        report.Line("Compatibility file: " + AppCompatConfigPath() + " (not checked: no VCI on USB now)");
        return;
    }
    std::string platform;
    if (!PlatformVersion(report, *onUsb, platform, verdict)) return;
    const std::string app = PcAppVersion(report);
    ReportCompatibility(report, platform, app, verdict);
}

}  // namespace

bool ReportRuntime(CDoctorReport& report)
{
    report.Heading("5. Update runtime");
    CVerdict verdict;
    std::string path;
    const std::string where = Format("HKEY_LOCAL_MACHINE\\%s, %s", kRuntimeKey, kRuntimeValue);
    switch (ReadRuntimeLibraryPath(path)) {
    case ERuntimeLocation::NoKey:
        report.Line(where + ": the key does not exist");
        break;
    case ERuntimeLocation::NoValue:
        report.Line(where + ": missing (or not a text of at most 255 characters)");
        break;
    case ERuntimeLocation::Found:
        report.Line(where + ": " + path);
        break;
    }
    bool started = false;
    if (path.empty()) {
        verdict.Problem("no VCI runtime is registered for the update plug-in",
                        "install the DRX VCI runtime, or point FunctionLibrary at its library");
    } else if (CheckBinding(report, path, verdict)) {
        CDrxRuntime& runtime = CDrxRuntime::Instance();
        int32_t r = runtime.Initialize();
        started = r == 0;
        report.Line("Starts (construction and event registration): " +
                    (started ? std::string("yes") : "no, " + CodeText(r)));
        if (started)
            ReportStartedRuntime(report, verdict);
        else
            verdict.Problem("the runtime does not start (" + CodeText(r) + ")",
                            "install the DRX VCI runtime again; its documentation explains the code");
        // Also after a failed start, which leaves the library loaded.
        runtime.Uninitialize();
    }
    if (!started) report.Line("Compatibility file: " + AppCompatConfigPath() + " (not checked: no runtime)");
    verdict.WriteTo(report);
    return started;
}
