// zanvi_host run as a script runs it, against fake plug-ins with scripted results: what it
// hands the plug-ins, what it prints, its exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_process.h"
#include "host_stage.h"
#include "test_files.h"

namespace {

const char kBody[] = "DEMO-01._zeb_vci._tcp.local,58713,usb";

std::wstring FakesDir() { return TestDir() + L"\\zanvi_host_fakes"; }

bool Has(const HostRun& run, const std::string& text) { return run.output.find(text) != std::string::npos; }

// The figures and state of each progress line, e.g. "7/15 RS_Working".
std::vector<std::string> ProgressFigures(const HostRun& run)
{
    std::vector<std::string> figures;
    for (const std::string& line : run.Lines()) {
        size_t end = line.find("] ");
        if (!line.empty() && line[0] == '[' && end != std::string::npos) figures.push_back(line.substr(end + 2));
    }
    return figures;
}

class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyInto(FakesDir() + L"\\ZanviResolver.dll", m_dir.Path()));
        ASSERT_TRUE(CopyInto(FakesDir() + L"\\zeb_fw_update.dll", m_dir.Path()));
    }

    void Script(const std::string& lines) { WriteWholeFile(m_dir.File(L"fake_script.ini"), "[Script]\r\n" + lines); }

    // The plug-in calls the fakes recorded, Init to Free.
    std::vector<std::string> Calls() const
    {
        HostRun calls;
        calls.output = ReadWholeFile(m_dir.File(L"calls.txt"));
        return calls.Lines();
    }

    HostRun Run(std::vector<std::wstring> args)
    {
        args.insert(args.begin(), {L"--dir", m_dir.Path()});
        HostRun run = RunHost(args, m_dir.Path());
        EXPECT_TRUE(run.finished) << run.output;
        return run;
    }

    TempDir m_dir;
};

TEST_F(HostProcessTest, ResolveHandsTheResolverTheTextWithoutItsWrapping)
{
    for (std::wstring text : {L"srv[" + Widen(kBody) + L"]", Widen(kBody)}) {
        DeleteFileW(m_dir.File(L"calls.txt").c_str());
        HostRun run = Run({L"resolve", text});
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", std::string("Execute ") + kBody, "Free"}));
        EXPECT_TRUE(Has(run, "State: RS_Ready (3)\r\nAddress: 10.1.2.3\r\nPort: 58713\r\n")) << run.output;
    }
}

TEST_F(HostProcessTest, ResolveShowsTheProgressUpToReady)
{
    Script("Steps=4\r\nProgressMax=15\r\nAddress=192.168.10.7\r\nPort=6800\r\n");
    HostRun run = Run({L"resolve", L"srv[LAB-07._wyn_vci._tcp.local,6800,wifi]"});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(ProgressFigures(run),
              (std::vector<std::string>{"3/15 RS_Working", "7/15 RS_Working", "11/15 RS_Working", "15/15 RS_Ready"}));
    EXPECT_TRUE(Has(run, "Address: 192.168.10.7\r\nPort: 6800\r\n")) << run.output;
}

TEST_F(HostProcessTest, FailedResolutionExitsWithOneAndStillFreesTheResolver)
{
    struct Case {
        const char* script;
        const char* says;
    } cases[] = {
        {"Final=error\r\n", "State: RS_Error (5), error state: RS_Error (5)"},
        {"InitResult=5\r\n", "Zanviresolver_Init failed"},
        {"ExecuteResult=5\r\n", "Zanviresolver_Execute refused the text"},
        {"Address=\r\n", "the resolver reported RS_Ready but delivered no address"},
    };
    for (const Case& c : cases) {
        DeleteFileW(m_dir.File(L"calls.txt").c_str());
        Script(c.script);
        HostRun run = Run({L"resolve", Widen(kBody)});
        EXPECT_EQ(run.exitCode, 1u) << c.script << run.output;
        EXPECT_TRUE(Has(run, c.says)) << run.output;
        EXPECT_FALSE(Has(run, "Address:")) << run.output;
        ASSERT_FALSE(Calls().empty());
        EXPECT_EQ(Calls().back(), "Free");
    }
}

TEST_F(HostProcessTest, RunsWithoutAFinalStateAreCancelledAtTheTimeBound)
{
    Script("Final=never\r\nFinalState=2\r\n");
    HostRun resolve = Run({L"--timeout", L"1", L"resolve", Widen(kBody)});
    EXPECT_EQ(resolve.exitCode, 4u) << resolve.output;
    EXPECT_TRUE(Has(resolve, "no final state after 1 s; the run was cancelled")) << resolve.output;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", std::string("Execute ") + kBody, "Cancel", "Free"}));

    DeleteFileW(m_dir.File(L"calls.txt").c_str());
    HostRun update = Run({L"update", L"Zanvi", L"--timeout", L"1"});
    EXPECT_EQ(update.exitCode, 4u) << update.output;
    EXPECT_TRUE(Has(update, "Update state: US_Canceled (4)")) << update.output;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", "Execute FWUpdate|Zanvi|||0", "Cancel", "Free"}));
}

TEST_F(HostProcessTest, UpdatePollsTheWorkerToItsFinalStateWithProgress)
{
    HostRun run = Run({L"update", L"Zanvi"});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", "Execute FWUpdate|Zanvi|||0", "Free"}));
    EXPECT_EQ(ProgressFigures(run),
              (std::vector<std::string>{"33/100 US_Working", "66/100 US_Working", "100/100 US_Ready"}));
    EXPECT_TRUE(Has(run, "Update state: US_Ready (3)\r\nError state: ES_NoError (0)\r\n")) << run.output;
}

TEST_F(HostProcessTest, DiagnosticCommandIsDoneWhenExecuteReturns)
{
    HostRun run = Run({L"update", L"Bench", L"getVciPlatformVer (debug)"});
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", "Execute getVciPlatformVer (debug)|Bench|||0", "Free"}));
    EXPECT_TRUE(ProgressFigures(run).empty()) << run.output;
    EXPECT_TRUE(Has(run, "Update state: US_Ready (3)")) << run.output;
}

TEST_F(HostProcessTest, FailedUpdateExitsWithOneAndNamesBothStates)
{
    struct Case {
        const char* script;
        const wchar_t* command;
        const char* says;
    } cases[] = {
        {"FinalState=5\r\nFinalError=11\r\n", L"FWUpdate", "Update state: US_Error (5)\r\nError state: ES_ModuleId (11)"},
        {"InitResult=-1\r\n", L"FWUpdate", "Error state: ES_Failed (-1)"},
        {"ExecuteResult=-1\r\nExecuteError=21\r\n", L"FWUpdate", "Error state: ES_UnknownCmd (21)"},
        {"FinalState=5\r\nFinalError=59\r\n", L"findZEBAppOnVCI (debug)", "Error state: ES_MissingSection (59)"},
    };
    for (const Case& c : cases) {
        DeleteFileW(m_dir.File(L"calls.txt").c_str());
        Script(c.script);
        HostRun run = Run({L"update", L"Zanvi", c.command});
        EXPECT_EQ(run.exitCode, 1u) << c.script << run.output;
        EXPECT_TRUE(Has(run, c.says)) << run.output;
        ASSERT_FALSE(Calls().empty());
        EXPECT_EQ(Calls().back(), "Free");
    }
}

TEST_F(HostProcessTest, MissingLibraryOrExportExitsWithThree)
{
    TempDir empty;
    HostRun run = RunHost({L"--dir", empty.Path(), L"resolve", Widen(kBody)}, m_dir.Path());
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Has(run, "cannot find " + Narrow(empty.Path()) + "\\ZanviResolver.dll")) << run.output;
    run = RunHost({L"--dir", empty.Path(), L"update", L"Zanvi"}, m_dir.Path());
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Has(run, "cannot find " + Narrow(empty.Path()) + "\\zeb_fw_update.dll")) << run.output;

    // Each fake in the other's place: a library without the exports the host needs.
    TempDir swapped;
    ASSERT_TRUE(CopyFileW((FakesDir() + L"\\zeb_fw_update.dll").c_str(), swapped.File(L"ZanviResolver.dll").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((FakesDir() + L"\\ZanviResolver.dll").c_str(), swapped.File(L"zeb_fw_update.dll").c_str(), FALSE));
    run = RunHost({L"--dir", swapped.Path(), L"resolve", Widen(kBody)}, m_dir.Path());
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Has(run, "ZanviResolver.dll has no export Zanviresolver_Init")) << run.output;
    run = RunHost({L"--dir", swapped.Path(), L"update", L"Zanvi"}, m_dir.Path());
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Has(run, "zeb_fw_update.dll has no export Init")) << run.output;
    EXPECT_TRUE(ReadWholeFile(swapped.File(L"calls.txt")).empty()) << "nothing is called before all exports are bound";
}

TEST_F(HostProcessTest, BadArgumentsExitWithTwoBeforeLoadingAnything)
{
    struct Case {
        std::vector<std::wstring> args;
        const char* says;
    } cases[] = {
        {{}, "zanvi_host: no command given (zanvi_host --help shows the usage)"},
        {{L"frobnicate"}, "zanvi_host: unknown command 'frobnicate'"},
        {{L"update"}, "zanvi_host: update needs the host INI section"},
        {{L"--timeout", L"soon", L"show"}, "zanvi_host: option --timeout needs a whole number"},
        {{L"resolve", L"srv[DEMO-01"}, "zanvi_host: 'srv[DEMO-01' starts with 'srv[' but has no closing ']'"},
    };
    for (const Case& c : cases) {
        HostRun run = Run(c.args);
        EXPECT_EQ(run.exitCode, 2u) << run.output;
        EXPECT_TRUE(Has(run, c.says)) << run.output;
    }
    EXPECT_TRUE(Calls().empty());
    HostRun help = Run({L"--help"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_TRUE(Has(help, "Exit codes:")) << help.output;
}

class SavedSelectionTest : public HostProcessTest {
protected:
    SavedSelectionStage m_stage;
};

TEST_F(SavedSelectionTest, HostsReadTheSelectionWhereTheSelectorSavedIt)
{
    m_stage.WriteIni("[SD_HARDWARE]\r\nInterface=Zanvi\r\n[Zanvi]\r\nDevice=srv[DEMO-01._zeb_vci._tcp.local,58713,usb]\r\n");
    m_stage.WriteRegistry(L"srv[LAB-07._wyn_vci._tcp.local,6800,wifi]");

    HostRun show = Run({L"show"});
    EXPECT_EQ(show.exitCode, 0u) << show.output;
    EXPECT_TRUE(Has(show, "Corvex host INI file: " + Narrow(m_stage.IniPath()) +
                              "\r\n  [Zanvi] Device: srv[DEMO-01._zeb_vci._tcp.local,58713,usb]\r\n"))
        << show.output;
    EXPECT_TRUE(Has(show, "Bay Steward host preferences: HKEY_CURRENT_USER\\Software\\Dravix\\Lumadesk\\User "
                          "Preferences\\Settings\r\n  VCIServiceInstance: srv[LAB-07._wyn_vci._tcp.local,6800,wifi]\r\n"))
        << show.output;

    HostRun fromIni = Run({L"resolve"});
    EXPECT_EQ(fromIni.exitCode, 0u) << fromIni.output;
    EXPECT_TRUE(Has(fromIni, "Using the saved selection (Corvex host, ")) << fromIni.output;
    HostRun fromRegistry = Run({L"--source", L"registry", L"resolve"});
    EXPECT_EQ(fromRegistry.exitCode, 0u) << fromRegistry.output;
    EXPECT_TRUE(Has(fromRegistry, "Using the saved selection (Bay Steward host, ")) << fromRegistry.output;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Init", std::string("Execute ") + kBody, "Free", "Init",
                                                 "Execute LAB-07._wyn_vci._tcp.local,6800,wifi", "Free"}));

    HostRun update = Run({L"update", L"Zanvi"});
    EXPECT_TRUE(Has(update, "Target: [Zanvi] Device=srv[DEMO-01._zeb_vci._tcp.local,58713,usb]")) << update.output;
}

TEST_F(SavedSelectionTest, ResolveWithoutTextOrSelectionExitsWithThree)
{
    m_stage.RemoveRegistry();
    HostRun run = Run({L"--source", L"registry", L"resolve"});
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Has(run, "no saved selection to resolve. Bay Steward host: ")) << run.output;

    m_stage.WriteRegistry(L"srv[");
    run = Run({L"--source", L"registry", L"resolve"});
    EXPECT_EQ(run.exitCode, 3u) << run.output;
    EXPECT_TRUE(Calls().empty());
}

}  // namespace
