// zeb_fw_update.dll loaded as the update application loads it, with the runtime stand-in, the
// host INI file and the compatibility file.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "log_lines.h"
#include "plugin_fixture.h"
#include "runtime_fixture.h"

namespace {

using Lines = std::vector<std::string>;

// A started plug-in on the stand-in: scenario, registry entry, host INI file.
class PluginTest : public ::testing::Test {
protected:
    void Start(const std::string& scenario = kWorld)
    {
        m_scenario.reset(new ScenarioFile(scenario));
        m_standIn.reset(new StandIn(StandInPath()));
        ASSERT_TRUE(plugin.Loaded());
        ASSERT_EQ(plugin.Init(), 0);
    }
    void TearDown() override
    {
        if (m_scenario) plugin.Free();
    }
    Lines Calls(const std::string& entry) const { return m_standIn->Calls(entry); }
    // Waits (at most 10 s) until the stand-in has been called at the entry point.
    bool WaitForCall(const std::string& entry)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(5))
            if (!Calls(entry).empty()) return true;
        return false;
    }
    // Waits (at most 10 s) until the worker reports US_Working.
    bool WaitForWorking()
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(5))
            if (plugin.UpdateState() == 2) return true;
        return false;
    }
    // Waits (at most 10 s) until the worker has written its exit line.
    bool WaitForWorkerExit()
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(10))
            if (!log.Starting("I:FWUpdate::updateThread() - exiting").empty()) return true;
        return false;
    }
    void ExpectStates(int32_t update, int32_t error)
    {
        EXPECT_EQ(plugin.UpdateState(), update);
        EXPECT_EQ(plugin.ErrorState(), error);
    }

    TraceLog log;
    RuntimeRegistration registration{StandInPath()};
    HostIni ini{"Zanvi", kDevice};
    CompatFile compat;
    UpdatePlugin plugin;

private:
    std::unique_ptr<ScenarioFile> m_scenario;
    std::unique_ptr<StandIn> m_standIn;
};

TEST(PluginExportsTest, ExportTableHoldsExactlyTheSixteenNamesOnBothTargets)
{
    const Lines expected{"Cancel",      "CurrentCmd", "DataOut", "DataOutMax", "DownloadPort", "ErrorLine",
                         "ErrorMessage", "ErrorState", "Execute", "Free",       "Init",         "Progress",
                         "ProgressMax", "UpdateState", "UpdateVersion", "Version"};
    EXPECT_EQ(ExportNames(BinDir() + L"\\zeb_fw_update.dll"), expected);
    EXPECT_EQ(ExportNames(BinDir() + L"\\..\\..\\i686\\bin\\zeb_fw_update.dll"), expected);
}

TEST(PluginExportsTest, WithoutAnEngineEveryEngineExportRefuses)
{
    TraceLog log;
    UpdatePlugin plugin;
    ASSERT_TRUE(plugin.Loaded());
    struct Case {
        UpdatePlugin::NoArgFn fn;
        int32_t result;
        const char* name;
    };
    const Case cases[] = {{plugin.UpdateState, 5, "UpdateState"}, {plugin.ErrorState, -1, "ErrorState"},
                          {plugin.Progress, -1, "Progress"},       {plugin.ProgressMax, -1, "ProgressMax"},
                          {plugin.Cancel, -1, "Cancel"},           {plugin.Free, -1, "Free"}};
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            log.Clear();
            EXPECT_EQ(c.fn(), c.result) << c.name;
            EXPECT_EQ(log.Lines(), (Lines{std::string("D:zeb_fw_update - ") + c.name + "()",
                                          std::string("E:zeb_fw_update - ") + c.name +
                                              "(): FWUpdate class not created."}));
        }
        EXPECT_EQ(plugin.Execute("FWUpdate", "Zanvi", nullptr, nullptr, 0), -1);
        EXPECT_TRUE(log.Has("E:zeb_fw_update - Execute(): FWUpdate class not created."));
        EXPECT_EQ(plugin.Version(), 3);
        // Second round: after an Init (which fails without a runtime) and a Free.
        plugin.Init();
        EXPECT_EQ(plugin.Version(), 3);
        EXPECT_EQ(plugin.Free(), 0);
    }
}

TEST(PluginExportsTest, UnsupportedExportsTraceAndLeaveTheBufferAlone)
{
    TraceLog log;
    UpdatePlugin plugin;
    log.Clear();
    char buffer[4] = {'a', 'b', 'c', 'd'};  // not terminated: only its size may be read
    EXPECT_EQ(plugin.UpdateVersion(nullptr, 0), -1);
    EXPECT_EQ(plugin.CurrentCmd(buffer, 2), -1);
    EXPECT_EQ(plugin.DownloadPort(buffer, 4), -1);
    EXPECT_EQ(plugin.ErrorLine(nullptr, 7), -1);
    EXPECT_EQ(plugin.ErrorMessage(7, buffer, 3), -1);
    EXPECT_EQ(plugin.DataOut(), -1);
    EXPECT_EQ(plugin.DataOutMax(), -1);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(log.Lines(),
              (Lines{"D:zeb_fw_update - UpdateVersion('NULL', 0)", "D:zeb_fw_update - CurrentCmd('ab', 2)",
                     "D:zeb_fw_update - DownloadPort('abcd', 4)", "D:zeb_fw_update - ErrorLine('NULL', 7)",
                     "D:zeb_fw_update - ErrorMessage(7, 'abc', 3)", "D:zeb_fw_update - DataOut()",
                     "D:zeb_fw_update - DataOutMax()"}));
}

TEST(PluginExportsTest, InitWithoutARuntimeFailsAndARetryOnceItIsThereStartsClean)
{
    TraceLog log;
    UpdatePlugin plugin;
    EXPECT_EQ(plugin.Init(), -1);
    EXPECT_EQ(plugin.UpdateState(), 5);
    EXPECT_EQ(plugin.ErrorState(), -1);
    EXPECT_TRUE(log.Has("D:zeb_fw_update - leaving init with failure"));

    ScenarioFile scenario("");
    RuntimeRegistration registration(StandInPath());
    EXPECT_EQ(plugin.Init(), 0) << "the same engine, without Free";
    EXPECT_EQ(plugin.UpdateState(), 0);
    EXPECT_EQ(plugin.ErrorState(), 0);
    EXPECT_EQ(plugin.Free(), 0);
}

TEST_F(PluginTest, SecondInitFailsBecauseTheRuntimeIsStarted)
{
    Start();
    EXPECT_EQ(plugin.Init(), -1);
    ExpectStates(5, -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Initialize()::Already Initialized"));
}

TEST_F(PluginTest, ConstructFailureGivesTheInternalErrorState)
{
    ScenarioFile scenario("fail DrxRtConstruct 0x50000005\n");
    EXPECT_EQ(plugin.Init(), -1);
    ExpectStates(5, -2);
    EXPECT_TRUE(log.Has("D:rtErrorCodeToErrorState(DRX_RT_ERR_GENERAL)"));
    EXPECT_EQ(plugin.Free(), 0);
}

TEST_F(PluginTest, FullUpdateInLowerCaseRisesTo100)
{
    Start(std::string(kWorld) + "install 5\ndelay 20\n");
    compat.Set("2.1.0.15", "1.3.0.2, 1.3.0.3");
    EXPECT_EQ(plugin.Run("fwupdate"), 0);
    std::vector<int32_t> progress = plugin.WaitForEnd();
    ExpectStates(3, 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(plugin.ProgressMax(), 100);
    EXPECT_EQ(Calls("DrxRtConnect"), Lines{"4711 2"});
    EXPECT_EQ(Calls("DrxRtInstallVCIApp"), Lines{"1 zvci"});
    EXPECT_TRUE(log.Has("D:platform v2.1.0.15 compatible with 'zvci' app version 1.3.0.3? YES"));
    // The worker writes its exit line just after its final state, which the polling saw.
    ASSERT_TRUE(WaitForWorkerExit());
    EXPECT_TRUE(log.Has("I:FWUpdate::updateThread() - exiting\n\tUpdate state=3 [US_Ready]\n\tError state=0 [ES_NoError]"));

    // A finished update does not block the next one.
    EXPECT_EQ(plugin.Run("FWforceupdate"), 0);
    plugin.WaitForEnd();
    ExpectStates(3, 0);
}

TEST_F(PluginTest, CancelOnAnIdleEngineThenAnUpdateIsAccepted)
{
    Start();
    EXPECT_EQ(plugin.Cancel(), 0);
    ExpectStates(4, 0);
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    plugin.WaitForEnd();
    ExpectStates(3, 0);
}

TEST_F(PluginTest, UnknownCommandsAndMissingArguments)
{
    Start();
    EXPECT_EQ(plugin.Run("FWUpdate "), -1);
    ExpectStates(5, 21);
    EXPECT_EQ(plugin.Execute(nullptr, "Zanvi", nullptr, nullptr, 0), -1);
    ExpectStates(5, 25);
    EXPECT_EQ(plugin.Execute("FWUpdate", nullptr, nullptr, nullptr, 0), -1);
    ExpectStates(5, 25);
    EXPECT_TRUE(log.Has("E:FWUpdate::executeCmd() - pszModule == NULL"));
    EXPECT_EQ(plugin.Execute("FWUpdate", "NoSuchSection", "a", nullptr, 0), -1);
    ExpectStates(5, 59);
    EXPECT_TRUE(log.Has("E:FWUpdate::_readSerialNum() - Could not read INI file section 'NoSuchSection'"));
    EXPECT_TRUE(log.Has("D:FWUpdate::executeCmd('FWUpdate', 'NoSuchSection', 'a', '(null)')"));
}

TEST_F(PluginTest, UpdateWhileOneIsWorkingIsRefusedUntilItEnds)
{
    Start(std::string(kWorld) + "pause DrxRtGetModuleIds 300\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    // Once the worker works: a refusal before that would be overwritten by its first state.
    ASSERT_TRUE(WaitForWorking());
    EXPECT_EQ(plugin.Run("FWUpdate"), -1);
    ExpectStates(5, 2);
    ASSERT_TRUE(WaitForWorkerExit());  // the refusal overwrote US_Working; the worker's states come later
    ExpectStates(3, 0);
    EXPECT_EQ(Calls("DrxRtInstallVCIApp").size(), 1u);
}

TEST_F(PluginTest, CommandDuringAnUpdateDoesNotRetargetIt)
{
    Start(std::string(kWorld) + "pause DrxRtGetModuleIds 300\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    // The refused command reads a section that does not exist; the running update keeps its VCI.
    EXPECT_EQ(plugin.Execute("FWUpdate", "NoSuchSection", "", "", 0), -1);
    ASSERT_TRUE(WaitForWorkerExit());
    ExpectStates(3, 0);
    EXPECT_EQ(Calls("DrxRtInstallVCIApp").size(), 1u);
}

TEST_F(PluginTest, StopBeforeTheSecondCheckpointCancelsWithoutConnecting)
{
    Start(std::string(kWorld) + "pause DrxRtGetModuleIds 300\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    EXPECT_EQ(plugin.Cancel(), 0);
    ExpectStates(4, 0);
    ASSERT_TRUE(WaitForWorkerExit());
    ExpectStates(4, 0);
    EXPECT_TRUE(log.Has("E:FWUpdate::updateThread() - udpate canceled."));
    EXPECT_TRUE(Calls("DrxRtConnect").empty());
}

// Past the second checkpoint a Cancel only shows at once: the worker follows the update to its
// real end and reports it, as the runtime installs whatever the host shows.
TEST_F(PluginTest, CancelWhileConnectingShowsCanceledThenTheRealEnd)
{
    Start(std::string(kWorld) + "pause DrxRtConnect 300\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    ASSERT_TRUE(WaitForCall("DrxRtConnect"));
    EXPECT_EQ(plugin.Cancel(), 0);
    ExpectStates(4, 0);
    ASSERT_TRUE(WaitForWorkerExit());
    EXPECT_TRUE(log.Has("I:FWUpdate::updateThread() - exiting\n\tUpdate state=3 [US_Ready]\n\tError state=0 "
                        "[ES_NoError]"));
    EXPECT_FALSE(log.Has("E:FWUpdate::updateThread() - udpate canceled."));
    ExpectStates(3, 0);
    EXPECT_EQ(Calls("DrxRtInstallVCIApp").size(), 1u);
}

TEST_F(PluginTest, CancelDuringAnInstallShowsCanceledThenTheRealEnd)
{
    Start(std::string(kWorld) + "install 10\ndelay 100\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    for (DWORD start = GetTickCount(); plugin.Progress() == 0 && GetTickCount() - start < 10000;) Sleep(5);
    EXPECT_EQ(plugin.Cancel(), 0);
    ExpectStates(4, 0);
    ASSERT_TRUE(WaitForWorkerExit());
    EXPECT_TRUE(log.Has("I:FWUpdate::updateThread() - exiting\n\tUpdate state=3 [US_Ready]\n\tError state=0 "
                        "[ES_NoError]"));
    ExpectStates(3, 0);
    EXPECT_EQ(plugin.Progress(), 100);
}

TEST_F(PluginTest, FreeWaitsForARunningWorker)
{
    Start(std::string(kWorld) + "pause DrxRtGetModuleIds 300\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    EXPECT_EQ(plugin.Free(), 0);
    EXPECT_TRUE(log.Has("I:FWUpdate::updateThread() - exiting\n\tUpdate state=4 [US_Canceled]\n\tError state=0 "
                        "[ES_NoError]"));
    EXPECT_EQ(plugin.Init(), 0) << "a new engine after Free";
}

TEST_F(PluginTest, TargetNotOnUsbIsAModuleIdError)
{
    Start("module 4711 1 1 DEMO-4711\n");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    plugin.WaitForEnd();
    ExpectStates(5, 11);
    EXPECT_TRUE(log.Has("D:FWUpdate::findVCI() - did not find target module."));
}

TEST_F(PluginTest, IncompatibleApplicationIsNotInstalled)
{
    Start();
    compat.Set("2.1.0.15", "1.3.0.2");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    plugin.WaitForEnd();
    ExpectStates(5, 31);
    EXPECT_TRUE(log.Has("E:zvci version 1.3.0.3 is not compatible with Common Platform version 2.1.0.15. Aborting "
                        "update."));
    EXPECT_TRUE(Calls("DrxRtInstallVCIApp").empty());
}

TEST_F(PluginTest, CompatibilityDecisions)
{
    struct Case {
        const char* file;  // null: no file; "/": a folder in its place
        const char* pcApp;
        bool compatible;
    };
    const Case cases[] = {
        {"1.3.0.2, 1.3.0.3", "1.3.0.3", true}, {"1.3.0.2, 1.3.0.3", "1.3.0.4", false},
        {"11.3.0.2", "1.3.0.2", true},         {"1.3.0.2", "1.3.0.20", false},
        {nullptr, "1.3.0.4", true},            {"/", "1.3.0.4", true},
    };
    for (const Case& c : cases) {
        CompatFile file;
        if (c.file && std::string(c.file) == "/") file.MakeFolder();
        else if (c.file) file.Set("2.1.0.15", c.file);
        file.Set("9.9.9.9", "0.0.0.0");  // another platform's section is not consulted
        ScenarioFile scenario(std::string("module 4711 2 1 V\npcapp zvci ") + c.pcApp +
                              " 2013-01-01\nserver 2.1.0.15 2013-01-01 DRX Product Version\ndelay 0\n");
        ASSERT_EQ(plugin.Init(), 0);
        EXPECT_EQ(plugin.Run("FWUpdate"), 0);
        plugin.WaitForEnd();
        EXPECT_EQ(plugin.ErrorState(), c.compatible ? 0 : 31) << (c.file ? c.file : "no file") << " / " << c.pcApp;
        plugin.Free();
    }
}

TEST_F(PluginTest, ApplicationMissingOnThePcCountsAsCompatible)
{
    Start("module 4711 2 1 V\nserver 2.1.0.15 2013-01-01 DRX Product Version\n");
    compat.Set("2.1.0.15", "1.3.0.2");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    plugin.WaitForEnd();
    EXPECT_TRUE(log.Has("D:platform v2.1.0.15 compatible with 'zvci' app version ? YES"));
    ExpectStates(5, 22);  // the runtime refuses to install what the PC lacks
}

TEST_F(PluginTest, PlatformWithoutAVersionCountsAsCompatible)
{
    Start("module 4711 2 1 V\npcapp zvci 1.3.0.3 2013-01-01\n");
    compat.Set("2.1.0.15", "1.3.0.2");
    EXPECT_EQ(plugin.Run("FWUpdate"), 0);
    plugin.WaitForEnd();
    ExpectStates(3, 0);
    EXPECT_TRUE(log.Has("E:FWUpdate::_isAppCompatible() - Could not read INI file section ''"));
}

TEST_F(PluginTest, SerialNumberFromTheDeviceEntry)
{
    Start();
    const std::string longValue = "VCI" + std::string(251, '-') + "4711" + std::string(42, 'x');
    struct Case {
        std::string device;
        int32_t serial;  // -1: the entry has the wrong form
    };
    const Case cases[] = {
        {kDevice, 4711},          {"srv[DEMO-LAB-4711._zeb_vci._tcp.local,58713,usb]", 0},
        {"VCI-4711", 4711},       {"VCI-4711.local", 4711},
        {"VCI-4711-2.local", 4711}, {"VCI--4711", 4711},
        {".VCI-4711", 4711},      {"VCI-4711x", 4711},
        {"VCI-abc", 0},           {"4711", -1},
        {longValue, 4},           {"VCI" + std::string(300, '-') + "4711", -1},
        {"VCI-2147483647", 2147483647}, {"VCI-2147483648", 0},
        {"VCI-99999999999999999999", 0},  // beyond 32 bits: no number the plug-in can use
    };
    for (const Case& c : cases) {
        ini.SetDevice(kDevice);
        ASSERT_EQ(plugin.Run("discoverModules (debug)"), 0);  // known states before each case
        ini.SetDevice(c.device);
        log.Clear();
        int32_t r = plugin.Run("findZEBAppOnPC (debug)");
        Lines serialLines = log.Starting("I:FWUpdate::executeCmd() - _targetSerNum=");
        if (c.serial == -1) {
            EXPECT_EQ(r, -1) << c.device;
            EXPECT_TRUE(serialLines.empty()) << c.device;
            ExpectStates(3, 0);
        } else {
            EXPECT_EQ(serialLines, Lines{"I:FWUpdate::executeCmd() - _targetSerNum=" + std::to_string(c.serial)})
                << c.device;
            EXPECT_EQ(r, c.serial ? 0 : -1) << c.device;
            if (c.serial == 0) ExpectStates(5, 11);
        }
    }
}

TEST_F(PluginTest, ProgressFollowsTheInstalledComponents)
{
    struct Case {
        int components, errorAt, total;  // total: what each status claims
        int32_t progress;
    };
    // The last case's runtime names component 50 of 2: the figure stays below the maximum.
    const Case cases[] = {{4, 3, 4, 50}, {7, 7, 7, 84}, {3, 1, 3, 0}, {3, 2, 3, 33}, {50, 50, 2, 50}};
    for (const Case& c : cases) {
        ScenarioFile scenario(std::string(kWorld) + "install " + std::to_string(c.components) + " error " +
                              std::to_string(c.errorAt) + " total " + std::to_string(c.total) + "\n");
        ASSERT_EQ(plugin.Init(), 0);
        ASSERT_EQ(plugin.Run("FWUpdate"), 0);
        plugin.WaitForEnd();
        EXPECT_EQ(plugin.UpdateState(), 5);
        EXPECT_EQ(plugin.Progress(), c.progress) << c.components << " " << c.errorAt;
        plugin.Free();
    }
}

TEST_F(PluginTest, ProgressIsZeroBeforeAnyInstall)
{
    Start();
    EXPECT_EQ(plugin.Progress(), 0);
    EXPECT_EQ(plugin.Run("discoverPCApps (debug)"), 0);
    ExpectStates(3, 0);
    EXPECT_EQ(plugin.Progress(), 0);
}

TEST_F(PluginTest, DiscoverModulesNamesTheFirstKnownInterface)
{
    struct Case {
        const char* modules;
        Lines lines;
    };
    const Case cases[] = {
        {"module 100 16 1 A\nmodule 200 2 1 B\nmodule 300 1 1 C\n",
         {"D:FWUpdate::_discoverModules() - Unknown Module Interface detected 16",
          "D:FWUpdate::_discoverModules() - Found device on USB."}},
        {"module 4711 10 1 A\n", {"D:FWUpdate::_discoverModules() - Found device on localhost."}},
        {"module 4711 5 1 A\n", {"D:FWUpdate::_discoverModules() - Found device on Wireless."}},
        {"", {"D:FWUpdate::_discoverModules() - No VCIs found"}},
    };
    for (const Case& c : cases) {
        ScenarioFile scenario(c.modules);
        ASSERT_EQ(plugin.Init(), 0);
        log.Clear();
        EXPECT_EQ(plugin.Run("discoverModules (debug)"), 0);
        Lines lines = log.Starting("D:FWUpdate::_discoverModules() - ");
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(),
                  "D:FWUpdate::_discoverModules() - Orbal Looking for devices detected via LOCAL, USB, WIFI, ETH");
        EXPECT_EQ(Lines(lines.begin() + 1, lines.end()), c.lines) << c.modules;
        plugin.Free();
    }
}

TEST_F(PluginTest, DiagnosticCommandsEndReady)
{
    Start("module 4711 2 1 V\npcapp other 1.0.0.0 2013-01-01\nvciapp 4711 5 other 1.0.0.0 2013-01-01\n");
    EXPECT_EQ(plugin.Run("getZebAppVerOnPc (debug)"), 0);
    EXPECT_TRUE(log.Has("D:zvci app version=''"));
    ExpectStates(3, 0);

    EXPECT_EQ(plugin.Run("stopZebAppOnVci (debug)"), 0);
    EXPECT_TRUE(log.Has("W:FWUpdate::_findVCIApp() - Did NOT find app name 'zvci'"));
    EXPECT_EQ(Calls("DrxRtCtlApp"), Lines{"1 0 2"}) << "no application: the id 0 goes to the runtime";
    ExpectStates(3, 0);

    EXPECT_EQ(plugin.Run("uninstallZEBApp (debug)"), 0);
    EXPECT_TRUE(log.Has("E:FWUpdate::_uninstallVCIApp() - Error Unnstalling Application [0x50000003]"));
    ExpectStates(3, 0);
}

TEST_F(PluginTest, DebugInstallEndsReadyOrWithTheMappedError)
{
    Start();
    EXPECT_EQ(plugin.Run("installZEBApp (debug)"), 0);
    ExpectStates(5, 32);  // not connected yet
    EXPECT_EQ(plugin.Run("connectToVci (debug)"), 0);
    EXPECT_EQ(plugin.Run("installZEBApp (debug)"), 0);
    ExpectStates(3, 0);
    EXPECT_EQ(plugin.Progress(), 100);
}

}  // namespace
