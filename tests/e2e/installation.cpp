#include "installation.h"

#include <windows.h>

namespace {

// Which of the deliverables' stand-in worlds the child processes see: the demo's.
void UseDemoScenarios()
{
    SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", DemoFile(L"dnssd_scenario.txt").c_str());
    SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", DemoFile(L"drx_runtime.scenario").c_str());
}

}  // namespace

std::wstring DemoFile(const wchar_t* name) { return std::wstring(ZANVI_DEMO_DIR) + L"\\" + name; }

Installation::Installation() : m_runtime(StandInPath())
{
    UseDemoScenarios();
    for (const wchar_t* file : {L"zeb_fw_update.dll"}) CopyInto(BinDir() + L"\\" + file, Folder());
    CopyInto(SimDir() + L"\\dnssd.dll", Folder());
}

HostRun Installation::Host(std::vector<std::wstring> args) const
{
    args.insert(args.end(), {L"--dir", Folder()});
    return RunHost(args, Folder());
}

std::string Installation::UpdateLog() const { return ReadWholeFile(m_folder.File(L"zeb_fw_update.dll.log")); }
