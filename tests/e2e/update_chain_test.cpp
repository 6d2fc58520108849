// From the saved choice to the updated VCI: the host reads the Corvex host's INI entry and the
// update plug-in takes its target from that same entry.
#include <gtest/gtest.h>

#include "host_stage.h"
#include "installation.h"
#include "plugin_fixture.h"

namespace {

struct UpdateCase {
    const char* saved;     // the Device entry as the selector saves it
    const char* serial;    // the target the plug-in must take from it
    DWORD exitCode;        // zanvi_host's verdict
    const char* updateState;  // the final states it prints
    const char* errorState;
};


class UpdateChain : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(UpdateChain, UpdatePlugInTargetsTheVciSavedForTheHost)
{
    const UpdateCase& c = GetParam();
    SavedSelectionStage hostFiles;
    hostFiles.RemoveRegistry();
    hostFiles.WriteIni(std::string("[Zanvi]\r\nDevice=") + c.saved + "\r\n");
    CompatFile compatibility;
    compatibility.Set("2.1.0.15", "1.3.0.2, 1.3.0.3");
    Installation pc;

    HostRun show = pc.Host({L"show"});
    ASSERT_TRUE(show.finished);
    EXPECT_EQ(0u, show.exitCode) << show.output;
    EXPECT_NE(std::string::npos, show.output.find(c.saved)) << show.output;

    HostRun update = pc.Host({L"update", L"Zanvi", L"--timeout", L"60"});
    ASSERT_TRUE(update.finished);
    EXPECT_EQ(c.exitCode, update.exitCode) << update.output;
    EXPECT_TRUE(HasLine(update, std::string("Update state: ") + c.updateState)) << update.output;
    EXPECT_TRUE(HasLine(update, std::string("Error state: ") + c.errorState)) << update.output;
    EXPECT_NE(std::string::npos, pc.UpdateLog().find(std::string("_targetSerNum=") + c.serial)) << pc.UpdateLog();
}

INSTANTIATE_TEST_SUITE_P(DemoVcis, UpdateChain, ::testing::Values(
    // DEMO-01 is attached on USB and runs an older zvci: the update installs the PC's.
    UpdateCase{"srv[DEMO-01._zeb_vci._tcp.local,58713,usb]", "1", 0, "US_Ready (3)", "ES_NoError (0)"},
    // DEMO-03 has no USB link: the runtime cannot find it where the update looks.
    UpdateCase{"srv[DEMO-03._zeb_vci._tcp.local,58713,wifi]", "3", 1, "US_Error (5)", "ES_ModuleId (11)"}));

}  // namespace
