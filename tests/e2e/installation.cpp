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
    CopyInto(BinDir() + L"\\zeb_fw_update.dll", Folder());
    CopyInto(SimDir() + L"\\dnssd.dll", Folder());
    // The resolver's test build behind ZanviResolver.dll: no adapter of the PC leads to a VCI.
    CopyInto(TestDir() + L"\\e2e_resolver\\ZanviResolver.dll", Folder());
    CopyInto(TestDir() + L"\\ZanviResolverSeams.dll", Folder());
}

HostRun Installation::Host(std::vector<std::wstring> args) const
{
    args.insert(args.end(), {L"--dir", Folder()});
    return RunHost(args, Folder());
}

std::string Installation::UpdateLog() const { return ReadWholeFile(m_folder.File(L"zeb_fw_update.dll.log")); }

bool HasLine(const HostRun& run, const std::string& line)
{
    for (const std::string& printed : run.Lines())
        if (printed == line) return true;
    return false;
}
