// Taking the service-instance text apart.
#include <gtest/gtest.h>

#include <string>

#include "debug_capture.h"
#include "resolution.h"
#include "run_state.h"

namespace {

TEST(RequestParseTest, AcceptedTextFillsEveryField)
{
    for (const char* text : {"VCI-A7._zeb_vci._tcp.local,58713,usb",
                             ",,VCI-A7._zeb_vci._tcp.local,,58713,usb,"}) {
        ASSERT_TRUE(ParseServiceInstanceName(text)) << text;
        EXPECT_STREQ(g_szFullServiceName, "VCI-A7._zeb_vci._tcp.local");
        EXPECT_STREQ(g_szPortField, "58713");
        EXPECT_STREQ(g_szInterfaceField, "usb");
        EXPECT_STREQ(g_szServiceName, "VCI-A7");
        EXPECT_STREQ(g_szRegType, "_zeb_vci._tcp");
        EXPECT_STREQ(g_szDomain, "local");
        EXPECT_STREQ(g_szDongleSsid, "A7");
    }
}

TEST(RequestParseTest, MalformedTextIsRejectedWithTheWholeTextInTheLog)
{
    const std::string tooLong = "VCI-" + std::string(96, 'x') + "._zeb_vci._tcp.local,1,usb";
    const std::string longField = "VCI-A7._zeb_vci._tcp.local,1," + std::string(100, 'u');
    const std::string cases[] = {
        "VCI-A7._zeb_vci._tcp.local,58713",
        "VCIA7._zeb_vci._tcp.local,58713,usb",
        "V-C-I._zeb_vci._tcp.local,1,usb",
        "VCI-A7._zeb_vci.local,1,usb",
        "VCI-A7._zeb_vci._tcp.local.x,1,usb",
        "a,b,c,d",
        "",
        tooLong,
        longField,
    };
    for (const std::string& text : cases) {
        DebugOutputCapture capture;
        EXPECT_FALSE(ParseServiceInstanceName(text.c_str())) << text;
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::wstring>{L"E:'" + std::wstring(text.begin(), text.end()) +
                                            L"' is not a valid service instance name."});
    }
}

TEST(RequestParseTest, WrappedSelectorTextKeepsItsWrappingInTheFields)
{
    ASSERT_TRUE(ParseServiceInstanceName("srv[VCI-A7._zeb_vci._tcp.local,58713,wifi]"));
    EXPECT_STREQ(g_szServiceName, "srv[VCI-A7");
    EXPECT_STREQ(g_szInterfaceField, "wifi]");
    EXPECT_EQ(DesiredInterfaceFor(g_szInterfaceField), DESIRED_WIFI);
}

}  // namespace
