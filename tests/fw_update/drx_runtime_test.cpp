// The runtime wrapper against the runtime stand-in: binding, start and shutdown, VCI
// operations, install events.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drx_rt_loader.h"
#include "drx_runtime.h"
#include "log_lines.h"
#include "rt_codes.h"
#include "rt_format.h"
#include "runtime_fixture.h"

namespace {

const char kWorld[] =
    "module 4711 3 1 DEMO-4711\n"
    "module 100 16 5 Blue\n"
    "pcapp other 9.9.9.9 2012-01-01\n"
    "pcapp zvci 1.3.0.3 2013-05-17\n"
    "vciapp 4711 5 zvci 1.3.0.2 2013-01-01 running\n"
    "client 1.0.0.1 2013-01-01 DRX Client\n"
    "server 2.1.0.7 2013-01-01 DRX Product Version\n"
    "server 3.0.0.0 2013-01-01 Boot Loader\n"
    "server 2.1.0.15 2013-02-01 drx product version\n"
    "install 3\n"
    "delay 1\n";

using Lines = std::vector<std::string>;

class DrxRuntimeTest : public ::testing::Test {
protected:
    void TearDown() override { rt.Uninitialize(); }

    // Starts the runtime on the stand-in with the given scenario.
    void Start(const std::string& scenario)
    {
        m_scenario.reset(new ScenarioFile(scenario));
        m_registration.reset(new RuntimeRegistration(StandInPath()));
        m_standIn.reset(new StandIn(StandInPath()));
        ASSERT_EQ(rt.Initialize(), 0);
    }
    Lines Calls(const std::string& entry) const { return m_standIn->Calls(entry); }
    void RaiseEvent(int32_t handle, uint32_t event, uint32_t subEvent) { m_standIn->RaiseEvent(handle, event, subEvent); }

    CDrxRuntime& rt = CDrxRuntime::Instance();
    TraceLog log;

private:
    std::unique_ptr<ScenarioFile> m_scenario;
    std::unique_ptr<RuntimeRegistration> m_registration;
    std::unique_ptr<StandIn> m_standIn;
};

TEST_F(DrxRuntimeTest, StartsAndRefusesASecondStart)
{
    Start(kWorld);
    EXPECT_EQ(log.Starting("D:CDrxRuntime::Initialize"),
              (Lines{"D:CDrxRuntime::Initialize()::Entering", "D:CDrxRuntime::Initialize()::ORBAL Runtime Loaded",
                     "D:CDrxRuntime::Initialize()::ORBAL Runtime Constructed",
                     "D:CDrxRuntime::Initialize()::Callback Registered", "D:CDrxRuntime::Initialize()::Leaving"}));
    EXPECT_EQ(Calls("DrxRtSetEventCallback"), Lines{"-1 1 1 0"});
    log.Clear();
    EXPECT_EQ(rt.Initialize(), -1);
    EXPECT_EQ(log.Lines(), (Lines{"D:CDrxRuntime::Initialize()::Entering",
                                  "D:CDrxRuntime::Initialize()::Already Initialized"}));
    EXPECT_EQ(Calls("DrxRtConstruct").size(), 1u);
}

TEST_F(DrxRuntimeTest, LibraryWithoutSelfTestIsNotBoundAndFreedAtShutdown)
{
    RuntimeRegistration registration(NoSelfTestStandInPath());
    EXPECT_EQ(rt.Initialize(), -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Initialize()::Unable to load Orbal RT"));
    EXPECT_NE(GetModuleHandleW(NoSelfTestStandInPath().c_str()), nullptr);
    const std::vector<const char*> unbound = CDrxRtLoader::Unbound();
    EXPECT_EQ(std::vector<std::string>(unbound.begin(), unbound.end()), std::vector<std::string>{"DrxRtRunSelfTest"});
    EXPECT_EQ(rt.Uninitialize(), -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Uninitialize()::ORBAL Runtime not initialized"));
    EXPECT_EQ(GetModuleHandleW(NoSelfTestStandInPath().c_str()), nullptr);
}

TEST_F(DrxRuntimeTest, MissingRegistryEntryIsRefused)
{
    EXPECT_EQ(rt.Initialize(), -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Initialize()::Can't open registry key "
                        "SOFTWARE\\Quellar\\DRX-VCI\\Zanvi\\RT Support"));
}

TEST_F(DrxRuntimeTest, ConstructFailureIsReturnedAndMapsToInternal)
{
    ScenarioFile scenario("fail DrxRtConstruct 0x50000005\n");
    RuntimeRegistration registration(StandInPath());
    int32_t r = rt.Initialize();
    EXPECT_EQ(r, 0x50000005);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Initialize()::Error Constructing ORBAL Runtime iRet = 0x50000005"));
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Initialize()::Error Registering Event Callback iRet = 0x50000005"));
    EXPECT_EQ(rtErrorCodeToErrorState(r), ES_Internal);
    EXPECT_TRUE(log.Has("D:rtErrorCodeToErrorState(DRX_RT_ERR_GENERAL)"));
    EXPECT_NE(GetModuleHandleW(StandInPath().c_str()), nullptr);
}

TEST_F(DrxRuntimeTest, ShutdownStopsAtAFailedUnregistrationButFreesTheLibrary)
{
    Start(std::string(kWorld) + "fail DrxRtSetEventCallback 0x50000005 after 2\n");
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    EXPECT_EQ(rt.Uninitialize(), 0x50000005);
    EXPECT_EQ(log.Lines(), (Lines{"D:CDrxRuntime::Uninitialize()::Entering",
                                  "D:CDrxRuntime::Uninitialize()::Error unregistering callback"}));
    EXPECT_TRUE(Calls("DrxRtDisconnect").empty());
    EXPECT_TRUE(Calls("DrxRtDestruct").empty());
    EXPECT_EQ(CDrxRtLoader::m_fnDrxRtConstruct, nullptr);
    EXPECT_FALSE(rt.IsConnected());
    EXPECT_EQ(rt.Uninitialize(), -1);
}

TEST_F(DrxRuntimeTest, ShutdownDisconnectsAndDestructs)
{
    Start(kWorld);
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    EXPECT_EQ(rt.Uninitialize(), 0);
    EXPECT_EQ(log.Lines(), (Lines{"D:CDrxRuntime::Uninitialize()::Entering",
                                  "D:CDrxRuntime::Uninitialize()::Callback Unregistered",
                                  "D:CDrxRuntime::Uninitialize()::Module disconnected",
                                  "D:CDrxRuntime::Uninitialize()::ORBAL Runtime Destructed"}));
    EXPECT_EQ(Calls("DrxRtSetEventCallback").back(), "-1 0 0 0");
}

TEST_F(DrxRuntimeTest, OperationsAreRefusedBeforeStart)
{
    std::string version = "x";
    ModuleMap modules;
    PCAppList pcApps;
    VCIAppList vciApps;
    EXPECT_EQ(rt.Connect(4711, DRX_RT_IF_USB), -1);
    EXPECT_EQ(rt.Disconnect(false), -1);
    EXPECT_EQ(rt.GetModuleList(modules), -1);
    EXPECT_EQ(rt.GetAppsListPC(pcApps), -1);
    EXPECT_EQ(rt.GetAppsListVci(4711, vciApps), -1);
    EXPECT_EQ(rt.StartApplication(5), -1);
    EXPECT_EQ(rt.StopApplication(5), -1);
    EXPECT_EQ(rt.InstallVciApp("zvci"), -1);
    EXPECT_EQ(rt.UnnstallVciApp("zvci"), -1);
    rt.GetCommonPlatformVersion(version);
    EXPECT_EQ(version, "");
    EXPECT_EQ(g_uiCurrentInstallComponent, 0u);
    EXPECT_EQ(g_uiTotalInstallComponents, 100u);
    for (const char* line : {"D:CDrxRuntime::Connect()::Runtime not initialized",
                             "D:CDrxRuntime::Disconnect()::Runtime not initialized",
                             "D:CDrxRuntime::GetModuleList()::Runtime not initialized",
                             "D:CDrxRuntime::GetAppsListPC()::Runtime not initialized",
                             "D:CDrxRuntime::GetAppsListVci()::Runtime not initialized",
                             "D:CDrxRuntime::StartApplication()::Runtime not initialized",
                             "D:CDrxRuntime::StopApplication()::Runtime not initialized",
                             "D:CDrxRuntime::InstallVciApp()::Runtime not initialized",
                             "D:CDrxRuntime::UnnstallVciApp()::Runtime not initialized"})
        EXPECT_TRUE(log.Has(line)) << line;
}

TEST_F(DrxRuntimeTest, ConnectRegistersForEventsAndRemovesTheDemoItem)
{
    Start(kWorld);
    EXPECT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    EXPECT_TRUE(rt.IsConnected());
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Connect()::Successfully connected to 4711 hVCI = 1"));
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Connect()::Set VCI Level Callback"));
    EXPECT_EQ(Calls("DrxRtSetEventCallback").back(), "1 644 1 1");
    EXPECT_EQ(Calls("DrxRtDeleteClientInfo"), Lines{"1 2 ede-demo.txt"});

    log.Clear();
    EXPECT_EQ(rt.Connect(999, DRX_RT_IF_USB), DRX_RT_ERR_VCI_SN_NOT_FOUND);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Connect()::Error Connecting to device iRet = 0x50002003"));
    EXPECT_TRUE(rt.IsConnected()) << "the earlier connection stays";
}

TEST_F(DrxRuntimeTest, ConnectionEventsAreHandledAndRuntimeLevelOnesIgnored)
{
    Start(kWorld);
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    RaiseEvent(-1, 1, 0);
    EXPECT_TRUE(log.Lines().empty()) << "runtime-level events carry no context";
    RaiseEvent(1, DRX_RT_SD_MGT_EVT, DRX_RT_SD_MGT_EVT_NOTIFY);
    RaiseEvent(1, 0x4, 2);
    EXPECT_EQ(log.Lines(), (Lines{"D:DrxRtCbFn::Entering", "D:DrxRtCbFn::uiEvent = 200 uiSubEvent = 1",
                                  "D:DrxRtCbFn::DRX_RT_SD_MGT_EVT", "D:DrxRtCbFn::DRX_RT_SD_MGT_EVT_NOTIFY",
                                  "D:DrxRtCbFn::Leaving", "D:DrxRtCbFn::Entering",
                                  "D:DrxRtCbFn::uiEvent = 4 uiSubEvent = 2", "D:DrxRtCbFn::Leaving"}));
}

TEST_F(DrxRuntimeTest, DisconnectWithoutAConnectionStillWaitsButNeverCallsTheRuntime)
{
    Start(kWorld);
    EXPECT_EQ(rt.Disconnect(false), -1);
    EXPECT_EQ(log.Starting("D:CDrxRuntime::Disconnect"),
              (Lines{"D:CDrxRuntime::Disconnect()::Entering", "D:CDrxRuntime::Disconnect()::No device is connected",
                     "D:CDrxRuntime::Disconnect()::Error disconnecting from device",
                     "D:CDrxRuntime::Disconnect()::Leaving"}));
    log.Clear();
    DWORD start = GetTickCount();
    EXPECT_EQ(rt.Disconnect(true), -1);
    EXPECT_LT(GetTickCount() - start, 900u) << "no sleep when nothing is pending";
    EXPECT_EQ(log.Starting("D:CDrxRuntime::Disconnect"),
              (Lines{"D:CDrxRuntime::Disconnect()::Entering", "D:CDrxRuntime::Disconnect()::No device is connected",
                     "D:CDrxRuntime::Disconnect()::Waiting for SD Writes to complete",
                     "D:CDrxRuntime::Disconnect()::SD Writes have completed",
                     "D:CDrxRuntime::Disconnect()::Error disconnecting from device",
                     "D:CDrxRuntime::Disconnect()::Leaving"}));
    EXPECT_TRUE(Calls("DrxRtDisconnect").empty());
}

TEST_F(DrxRuntimeTest, DisconnectAfterConnect)
{
    Start(kWorld);
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    EXPECT_EQ(rt.Disconnect(true), 0);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Disconnect()::SD Writes have completed"));
    EXPECT_TRUE(log.Has("D:CDrxRuntime::Disconnect()::Successfully Disconnected from device"));
    EXPECT_FALSE(rt.IsConnected());
    EXPECT_EQ(Calls("DrxRtDisconnect"), Lines{"1"});
}

TEST_F(DrxRuntimeTest, ModuleListKeepsTheLaterOfTwoRecordsWithOneSerialNumber)
{
    Start("module 4711 3 1 First\nmodule 100 16 9 Blue\nmodule 4711 2 3 Second\n");
    ModuleMap modules;
    ASSERT_EQ(rt.GetModuleList(modules), 0);
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_STREQ(modules[4711].szName, "Second");
    EXPECT_EQ(modules[4711].uiInterfaces, 2u);
    EXPECT_EQ(modules.begin()->first, 100);
    EXPECT_EQ(log.Starting("D:CDrxRuntime::GetModuleList()::"),
              (Lines{"D:CDrxRuntime::GetModuleList()::Entering",
                     "D:CDrxRuntime::GetModuleList()::Retrieved Module List - Number of modules detected = 3",
                     "D:CDrxRuntime::GetModuleList()::Module:             First",
                     "D:CDrxRuntime::GetModuleList()::Serial Number:      4711",
                     "D:CDrxRuntime::GetModuleList()::Module State:       1 [DRX_RT_MODULE_STATE_OK]",
                     "D:CDrxRuntime::GetModuleList()::Detected Interface: 3 [unknown]",
                     "D:CDrxRuntime::GetModuleList()::Module:             Blue",
                     "D:CDrxRuntime::GetModuleList()::Serial Number:      100",
                     "D:CDrxRuntime::GetModuleList()::Module State:       9 [unknown]",
                     "D:CDrxRuntime::GetModuleList()::Detected Interface: 10 [DRX_RT_IF_BLUETOOTH]",
                     "D:CDrxRuntime::GetModuleList()::Module:             Second",
                     "D:CDrxRuntime::GetModuleList()::Serial Number:      4711",
                     "D:CDrxRuntime::GetModuleList()::Module State:       3 [DRX_RT_MODULE_STATE_FW_OUT_OF_DATE]",
                     "D:CDrxRuntime::GetModuleList()::Detected Interface: 2 [DRX_RT_IF_USB]",
                     "D:CDrxRuntime::GetModuleList()::Leaving"}));
}

TEST_F(DrxRuntimeTest, EmptyModuleListAndFailedListing)
{
    Start("fail DrxRtGetModuleIds 0x50000005 after 2\n");
    ModuleMap modules;
    EXPECT_EQ(rt.GetModuleList(modules), 0);
    EXPECT_TRUE(modules.empty());
    EXPECT_TRUE(log.Has("D:CDrxRuntime::GetModuleList()::Retrieved Module List - Number of modules detected = 0"));
    EXPECT_EQ(rt.GetModuleList(modules), DRX_RT_ERR_GENERAL);
}

TEST_F(DrxRuntimeTest, RuntimeAnsweringMinusOneIsNoAllocationFailure)
{
    Start("fail DrxRtGetModuleIds -1\n");
    ModuleMap modules;
    EXPECT_EQ(rt.GetModuleList(modules), -1);
    EXPECT_EQ(log.Starting("D:CDrxRuntime::GetModuleList()::"),
              (Lines{"D:CDrxRuntime::GetModuleList()::Entering", "D:CDrxRuntime::GetModuleList()::Leaving"}));
}

TEST_F(DrxRuntimeTest, ApplicationListsAndUninstall)
{
    Start(kWorld);
    PCAppList pcApps;
    ASSERT_EQ(rt.GetAppsListPC(pcApps), 0);
    ASSERT_EQ(pcApps.size(), 2u);
    EXPECT_STREQ(pcApps[1].szName, "zvci");
    EXPECT_EQ(FormatVersion(pcApps[1].uiVersion), "1.3.0.3");
    EXPECT_EQ(FormatDate(pcApps[1].uiDate), "May 17, 2013");

    VCIAppList vciApps;
    ASSERT_EQ(rt.GetAppsListVci(4711, vciApps), 0);
    ASSERT_EQ(vciApps.size(), 1u);
    EXPECT_EQ(vciApps[0].iAppId, 5);
    EXPECT_NE(vciApps[0].iRunState, 1);

    EXPECT_EQ(rt.UnnstallVciApp("zvci"), -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::UnnstallVciApp()::No device is connected"));
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    EXPECT_EQ(rt.UnnstallVciApp("zvci"), 0);
    EXPECT_EQ(log.Lines(), (Lines{"D:CDrxRuntime::UnnstallVciApp() - Starting uninstall...",
                                  "D:CDrxRtLoader::m_fnDrxRtUninstallVCIApp returned 0x0",
                                  "D:CDrxRuntime::UnnstallVciApp() - Uninstall complete"}));
    vciApps.clear();
    ASSERT_EQ(rt.GetAppsListVci(4711, vciApps), 0);
    EXPECT_TRUE(vciApps.empty());
}

TEST_F(DrxRuntimeTest, StopWithoutAConnectionAsksTheRuntimeWhileStartRefuses)
{
    Start(kWorld);
    EXPECT_EQ(rt.StartApplication(5), -1);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::StartApplication() - No device is connected"));
    EXPECT_EQ(rt.StopApplication(5), DRX_RT_ERR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(Calls("DrxRtCtlApp"), Lines{"-1 5 2"});
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    EXPECT_EQ(rt.StartApplication(5), 0);
    EXPECT_EQ(Calls("DrxRtCtlApp").back(), "1 5 1");
}

TEST_F(DrxRuntimeTest, InstallFollowsTheRuntimeEventsToCompletion)
{
    Start(kWorld);
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    EXPECT_EQ(rt.InstallVciApp("zvci"), 0);
    EXPECT_EQ(log.Starting("D:DrxRtCbFn::AppStatus"),
              (Lines{"D:DrxRtCbFn::AppStatus Name zvci, Number = 1, Total  = 3, Status = In Process",
                     "D:DrxRtCbFn::AppStatus Name zvci, Number = 2, Total  = 3, Status = In Process",
                     "D:DrxRtCbFn::AppStatus Name zvci, Number = 3, Total  = 3, Status = Complete"}));
    EXPECT_TRUE(log.Has("D:DrxRtCbFn::uiEvent = 80 uiSubEvent = 1"));
    EXPECT_EQ(rt.GetCurrentAppInstallComponent(), 3u);
    EXPECT_EQ(rt.GetTotalAppInstallComponents(), 3u);
    EXPECT_TRUE(log.Has("D:CDrxRuntime::GetCurrentAppInstallComponent() - returning 3"));

    VCIAppList apps;
    ASSERT_EQ(rt.GetAppsListVci(4711, apps), 0);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(FormatVersion(apps[0].uiVersion), "1.3.0.3");
}

TEST_F(DrxRuntimeTest, InstallEndsWithAnErrorWhenTheRuntimeReportsOne)
{
    Start(std::string(kWorld) + "install 3 error 2\n");
    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    int32_t r = rt.InstallVciApp("zvci");
    EXPECT_EQ(rtErrorCodeToErrorState(r), ES_Internal);
    EXPECT_TRUE(log.Has("D:DrxRtCbFn::AppStatus Name zvci, Number = 2, Total  = 3, Status = Error"));
    EXPECT_TRUE(log.Has("D:DrxRtCbFn::Special Error Handling"));
    EXPECT_EQ(g_uiCurrentInstallComponent, 2u);
}

TEST_F(DrxRuntimeTest, InstallRefusedByTheRuntime)
{
    Start(kWorld);
    EXPECT_EQ(rt.InstallVciApp("zvci"), DRX_RT_ERR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(log.Has("D:CDrxRtLoader::m_fnDrxRtInstallVCIApp Failed. iRet = 0x50002006"));
    EXPECT_EQ(g_uiCurrentInstallComponent, 0u);
    EXPECT_EQ(g_uiTotalInstallComponents, 100u);
}

TEST_F(DrxRuntimeTest, PlatformVersionIsTheLastProductVersionServerItem)
{
    Start(kWorld);
    std::string version = "stale";
    rt.GetCommonPlatformVersion(version);
    EXPECT_EQ(version, "");
    EXPECT_TRUE(log.Has("D:CDrxRuntime::GetCommonPlatformVersion() - RT returned 0x50002006"));

    ASSERT_EQ(rt.Connect(4711, DRX_RT_IF_USB), 0);
    log.Clear();
    rt.GetCommonPlatformVersion(version);
    EXPECT_EQ(version, "2.1.0.15");
    EXPECT_EQ(Calls("DrxRtGetVersionInformation").back(), "1 4711");
    Lines lines = log.Lines();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 7),
              (Lines{"D:CDrxRuntime::GetCommonPlatformVersion(m_hVCI=1)",
                     "D:CDrxRuntime::GetCommonPlatformVersion() - RT returned 0x0", "D:------ Client Items ----------",
                     "D:   Name[0]: DRX Client", "D:Version[0]: 1.0.0.1", "D:   Date[0]: Jan 1, 2013",
                     "D:------------------------------"}));
    EXPECT_EQ(lines[7], "D:------ Server Items ----------");
    EXPECT_EQ(lines[18], "D:   Name[2]: drx product version");
}

}  // namespace
