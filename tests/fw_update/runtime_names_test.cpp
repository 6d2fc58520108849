// Names and texts of the runtime layer: state names, result-code mapping, interface and module
// state names, version and date texts.
#include <gtest/gtest.h>

#include <windows.h>

#include "drx_rt_api.h"
#include "drx_runtime.h"
#include "log_lines.h"
#include "rt_codes.h"
#include "rt_format.h"
#include "update_states.h"

namespace {

TEST(StateNamesTest, NamesEveryValueAndUnknownOutside)
{
    EXPECT_STREQ(UpdateStateName(0), "US_Idle");
    EXPECT_STREQ(UpdateStateName(3), "US_Ready");
    EXPECT_STREQ(UpdateStateName(5), "US_Error");
    EXPECT_STREQ(UpdateStateName(6), "unknown");
    EXPECT_STREQ(UpdateStateName(-1), "unknown");
    EXPECT_STREQ(ErrorStateName(-2), "ES_Internal");
    EXPECT_STREQ(ErrorStateName(-1), "ES_Failed");
    EXPECT_STREQ(ErrorStateName(0), "ES_NoError");
    EXPECT_STREQ(ErrorStateName(31), "ES_VersionConflict");
    EXPECT_STREQ(ErrorStateName(59), "ES_MissingSection");
    EXPECT_STREQ(ErrorStateName(60), "ES_CanceledFWU");
    EXPECT_STREQ(ErrorStateName(61), "unknown");
    EXPECT_STREQ(ErrorStateName(-3), "unknown");
}

struct CodeCase {
    int32_t code;
    const char* name;
    int32_t state;
};

const CodeCase kCodes[] = {
    {0x50000001, "DRX_RT_ERR_NOT_CONSTRUCTED", -1},
    {0x50000002, "DRX_RT_ERR_INVALID_HANDLE", 22},
    {0x50000003, "DRX_RT_ERR_INVALID_ARGUMENT", 22},
    {0x50000004, "DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE", -1},
    {0x50000005, "DRX_RT_ERR_GENERAL", -2},
    {0x50000006, "DRX_RT_ERR_INTERAL", -2},
    {0x50000007, "DRX_RT_ERR_API_NOT_AVAILABLE", 57},
    {0x50000008, "DRX_RT_ERR_STATUS_QUEUE_EMPTY", -1},
    {0x50002001, "DRX_RT_ERR_CON_MGT_FAILED", 35},
    {0x50002002, "DRX_RT_ERR_ALREADY_CONNECTED_SAME_IF", -1},
    {0x50002003, "DRX_RT_ERR_VCI_SN_NOT_FOUND", 11},
    {0x50002004, "DRX_RT_ERR_IF_NOT_FOUND", -1},
    {0x50002005, "DRX_RT_ERR_DEVICE_IN_USE", 15},
    {0x50002006, "DRX_RT_ERR_DEVICE_NOT_CONNECTED", 32},
    {0x50002007, "DRX_RT_ERR_MULTIPLE_USB", -1},
    {0x50002008, "DRX_RT_ERR_UNINITIALIZED_USB", 32},
    {0x50005001, "DRX_RT_ERR_PENDANT_NOT_INSTALLED", -1},
    {0x50006001, "DRX_RT_ERR_TEMP_NOT_READY", -1},
    {0x5000A001, "DRX_RT_ERR_EXCEEDED_STORAGE_SPACE", -1},
    {0x5000C001, "DRX_RT_ERR_INVALID_CFG_ITEM", -1},
    {0x5000C002, "DRX_RT_ERR_INVALID_CFG_VALUE", -1},
    {0x5000C003, "DRX_RT_ERR_WIFI_STATS_UNAVAILABLE", -1},
    {0x5000E001, "DRX_RT_ERR_SYSTEM_FW_UP_TO_DATE", 3},
    {0x5000E002, "DRX_RT_ERR_REPRO_IN_PROCESS", -1},
    {0x5000E003, "DRX_RT_ERR_CONNECT_USB", -1},
};

TEST(ResultCodeMappingTest, EveryListedCodeTracesItsNameAndGivesItsState)
{
    TraceLog log;
    for (const CodeCase& c : kCodes) {
        log.Clear();
        EXPECT_EQ(rtErrorCodeToErrorState(c.code), c.state) << c.name;
        EXPECT_EQ(log.Lines(), std::vector<std::string>{std::string("D:rtErrorCodeToErrorState(") + c.name + ")"});
    }
}

TEST(ResultCodeMappingTest, UnlistedCodesAreUnhandledFailures)
{
    TraceLog log;
    EXPECT_EQ(rtErrorCodeToErrorState(7), ES_Failed);
    EXPECT_EQ(rtErrorCodeToErrorState(-1), ES_Failed);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"D:rtErrorCodeToErrorState(0x7) - unhandled error code.",
                                                     "D:rtErrorCodeToErrorState(0xFFFFFFFF) - unhandled error code."}));
}

TEST(RuntimeNamesTest, InterfaceAndModuleStateNames)
{
    EXPECT_STREQ(InterfaceName(1), "DRX_RT_IF_ETHERNET");
    EXPECT_STREQ(InterfaceName(2), "DRX_RT_IF_USB");
    EXPECT_STREQ(InterfaceName(4), "DRX_RT_IF_WIRELESS");
    EXPECT_STREQ(InterfaceName(8), "DRX_RT_IF_LOCAL");
    EXPECT_STREQ(InterfaceName(16), "DRX_RT_IF_BLUETOOTH");
    EXPECT_STREQ(InterfaceName(3), "unknown");
    EXPECT_STREQ(InterfaceName(0), "unknown");
    EXPECT_STREQ(ModuleStateName(1), "DRX_RT_MODULE_STATE_OK");
    EXPECT_STREQ(ModuleStateName(5), "DRX_RT_MODULE_STATE_UNDETERMINED");
    EXPECT_STREQ(ModuleStateName(0), "unknown");
    EXPECT_STREQ(ModuleStateName(6), "unknown");
}

TEST(RuntimeTextsTest, VersionAndDate)
{
    EXPECT_EQ(FormatVersion(0x01020304), "1.2.3.4");
    EXPECT_EQ(FormatVersion(0x02010009), "2.1.0.9");
    EXPECT_EQ(FormatVersion(0xFFFFFFFF), "255.255.255.255");
    EXPECT_EQ(FormatDate(0x2B010100), "Jan 1, 2013");
    EXPECT_EQ(FormatDate(0x2B0C0F7F), "Dec 15, 2013");
    EXPECT_EQ(FormatDate(0x00060F00), "Jun 15, 1970");
    EXPECT_EQ(FormatDate(0x2B0D0100), "??? 1, 2013");
    EXPECT_EQ(FormatDate(0x2B000100), "??? 1, 2013");
}

TEST(ConsoleControlTest, EveryEventIsTracedAndReportedHandled)
{
    TraceLog log;
    for (DWORD type = 0; type <= 7; ++type) EXPECT_TRUE(CtrlHandler(type)) << type;
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"D:CTRL+C received!", "D:CTRL+BREAK received!",
                                                     "D:Program being closed!", "D:User is logging off!",
                                                     "D:User is logging off!"}));
}

}  // namespace
