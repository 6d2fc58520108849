// The whole chain as a workshop runs it: the user picks a VCI's link in the selector's window and
// presses Save; the host finds the choice where it keeps it, the resolver turns it into an
// address and (Corvex host) the update plug-in updates that VCI.
#include <gtest/gtest.h>

#include <windows.h>

#include "child_process.h"
#include "host_stage.h"
#include "installation.h"
#include "plugin_fixture.h"

namespace {

struct ChainCase {
    const wchar_t* arguments;  // the selector's command line
    const wchar_t* title;
    const wchar_t* link;       // picked under DEMO-01
    const wchar_t* source;     // where zanvi_host finds the choice
    const char* saved;
    const char* address;
    const char* port;
    bool update;               // the update plug-in reads the Corvex host's INI file only
};

class SelectorChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(SelectorChain, ChoiceSavedInTheSelectorReachesResolverAndUpdate)
{
    const ChainCase& c = GetParam();
    SavedSelectionStage hostFiles;
    hostFiles.WriteIni("");  // the Corvex host is installed, no VCI chosen yet
    hostFiles.WriteRegistry(L"");  // so is the Bay Steward host
    CompatFile compatibility;
    compatibility.Set("2.1.0.15", "1.3.0.2, 1.3.0.3");
    Installation pc;
    ASSERT_TRUE(CopyInto(BinDir() + L"\\ZanviSelector.exe", pc.Folder()));

    ChildProcess selector(L"\"" + pc.Folder() + L"\\ZanviSelector.exe\" " + c.arguments, pc.Folder());
    ASSERT_TRUE(selector.Started());
    // The user picks DEMO-01's link and presses Save; the tool waits until the dialog has gone.
    ChildProcess user(L"\"" + SimDir() + L"\\scripted_user.exe\" \"" + c.title + L"\" DEMO-01 " + c.link + L" save 60",
                      pc.Folder());
    ASSERT_TRUE(user.Started());
    EXPECT_EQ(0u, user.Wait(90000));
    ASSERT_TRUE(selector.Ended(20000));

    HostRun show = pc.Host({L"show"});
    EXPECT_NE(std::string::npos, show.output.find(c.saved)) << show.output;

    HostRun resolve = pc.Host({L"resolve", L"--source", c.source});
    ASSERT_TRUE(resolve.finished);
    EXPECT_EQ(0u, resolve.exitCode) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, std::string("Address: ") + c.address)) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, std::string("Port: ") + c.port)) << resolve.output;

    if (!c.update) return;
    HostRun update = pc.Host({L"update", L"Zanvi", L"--timeout", L"60"});
    ASSERT_TRUE(update.finished);
    EXPECT_EQ(0u, update.exitCode) << update.output;
    EXPECT_TRUE(HasLine(update, "Update state: US_Ready (3)")) << update.output;
    EXPECT_NE(std::string::npos, pc.UpdateLog().find("_targetSerNum=1")) << pc.UpdateLog();
}

INSTANTIATE_TEST_SUITE_P(BothHosts, SelectorChain, ::testing::Values(
    ChainCase{L"", L"Zanvi Selector - Corvex", L"USB", L"ini",
              "srv[DEMO-01._zeb_vci._tcp.local,58713,usb]", "169.254.10.1", "58713", true},
    ChainCase{L"mode=2", L"Zanvi Selector - Bay Steward", L"WiFi", L"registry",
              "srv[DEMO-01._wyn_vci._tcp.local,6800,wifi]", "10.10.0.1", "6800", false}));

}  // namespace
