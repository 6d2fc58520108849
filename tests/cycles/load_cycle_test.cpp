// Each plug-in and each stand-in loaded and unloaded a few hundred times in one host process
// (load_cycle), with and without a short run in between: no TLS index, handle or thread may be
// left behind per load, and memory stops growing. With ZANVI_CYCLES_BY_HAND set, each case runs
// as long as a by-hand check wants it (10,000 loads, 1,000 runs) and prints the figures.
// The Wi-Fi runs go through the plug-in's test build, whose adapter survey can show a dongle.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "plugin_fixture.h"
#include "runtime_fixture.h"
#include "test_files.h"

namespace {

// One VCI on Ethernet that the resolver and the dnssd cycle ask for.
const char kNetwork[] =
    "instance VCI-A7 _zeb_vci._tcp\n  interfaces 3\n  host vci-a7.local.\n  port 58713\n  address 10.0.0.3\n";

struct Case {
    const char* name;
    const wchar_t* library;  // staged in a folder of its own, with the DNS-SD stand-in and network
    const char* kind;
    unsigned cycles, every;  // under ctest
};

bool ByHand() { return GetEnvironmentVariableW(L"ZANVI_CYCLES_BY_HAND", nullptr, 0) > 0; }

const Case kCases[] = {
    {"UpdatePluginLoads", L"zeb_fw_update.dll", "load", 300, 100},
    {"UpdatePluginRuns", L"zeb_fw_update.dll", "update", 120, 40},
    {"ResolverLoads", L"ZanviResolver.dll", "load", 300, 100},
    {"ResolverRuns", L"ZanviResolver.dll", "resolve:VCI-A7._zeb_vci._tcp.local,58713,eth", 90, 30},
    // The ad-hoc profile's libraries (COM, the XML document, the shell folder) stay in the process
    // once loaded under Wine: once per process, within the warm-up.
    {"ResolverRunsOverWifi", L"ZanviResolverSeams.dll", "wifi:VCI-A7._zeb_vci._tcp.local,58713,wifi", 90, 30},
    {"DnssdStandInLoads", L"dnssd.dll", "load", 300, 100},
    {"DnssdStandInRuns", L"dnssd.dll", "dnssd", 150, 50},
    {"RuntimeStandInLoads", L"drx_runtime.dll", "load", 300, 100},
    {"RuntimeStandInRuns", L"drx_runtime.dll", "runtime", 150, 50},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::wstring BuiltPath(const std::wstring& name)
{
    if (name == L"ZanviResolverSeams.dll") return TestDir() + L"\\" + name;
    return (name == L"dnssd.dll" || name == L"drx_runtime.dll" ? SimDir() : BinDir()) + L"\\" + name;
}

// The profile that the Wi-Fi runs write in the roaming application-data folder.
void RemoveAdHocProfile()
{
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        DeleteFileW((std::wstring(folder) + L"\\A7.xml").c_str());
}

class LoadCycleTest : public ::testing::TestWithParam<Case> {
protected:
    TempDir dir;
    RuntimeRegistration registration{StandInPath()};
    HostIni ini{"Zanvi", kDevice};
    ScenarioFile world{kWorld};
};

TEST_P(LoadCycleTest, LeavesNothingBehindPerLoad)
{
    const Case& c = GetParam();
    ASSERT_TRUE(CopyInto(BuiltPath(c.library), dir.Path()));
    ASSERT_TRUE(CopyInto(SimDir() + L"\\dnssd.dll", dir.Path()));
    ASSERT_TRUE(WriteWholeFile(dir.File(L"dnssd_scenario.txt"), kNetwork));
    const bool loadsOnly = std::string(c.kind) == "load";
    const unsigned cycles = ByHand() ? (loadsOnly ? 10000 : 1000) : c.cycles;
    const unsigned every = ByHand() ? cycles / 10 : c.every;
    const std::wstring output = dir.File(L"figures.txt");
    // The figures go to a file, which the test prints: they are the point of a run.
    const std::wstring command = L"cmd /c \"\"" + TestDir() + L"\\load_cycle.exe\" \"" + dir.File(c.library) +
                                 L"\" \"" + Widen(c.kind) + L"\" " + std::to_wstring(cycles) + L" " +
                                 std::to_wstring(every) + L" --check > \"" + output + L"\" 2>&1\"";
    ChildProcess program(command, dir.Path());
    ASSERT_TRUE(program.Started());
    const DWORD code = program.Wait(ByHand() ? 3600000 : 240000);
    std::printf("%s", ReadWholeFile(output).c_str());
    if (std::string(c.kind).compare(0, 5, "wifi:") == 0) RemoveAdHocProfile();
    EXPECT_EQ(code, 0u);
}

INSTANTIATE_TEST_SUITE_P(Libraries, LoadCycleTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
