// The runtime stand-in's scenario files: what they describe and which lines they refuse.
#include <gtest/gtest.h>

#include "scenario.h"

namespace {

TEST(DrxScenarioTest, ReadsTheWorld)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario("# a VCI on USB and Ethernet\r\n"
                              "module 0x1267 3 1 DEMO 4711\n"
                              "pcapp zvci 1.3.0.3 2013-05-17\n"
                              "vciapp 4711 5 zvci 1.3.0.2 2013-01-01 running\n"
                              "server 2.1.0.15 2013-02-01 DRX Product Version\n"
                              "install 7 error 4 total 2\n"
                              "delay 0\n"
                              "write 9 1\n"
                              "fail DrxRtConnect 0x50002005 after 1\n"
                              "pause DrxRtGetModuleIds 300\n",
                              s, error))
        << error;
    ASSERT_EQ(s.modules.size(), 1u);
    EXPECT_EQ(s.modules[0].serial, 4711);
    EXPECT_EQ(s.modules[0].name, "DEMO 4711");
    EXPECT_EQ(s.pcApps[0].version, 0x01030003u);
    EXPECT_EQ(s.pcApps[0].date, 0x2B051100u);
    EXPECT_TRUE(s.vciApps[4711][0].running);
    EXPECT_EQ(s.serverItems[0].name, "DRX Product Version");
    EXPECT_EQ(s.installComponents, 7u);
    EXPECT_EQ(s.installErrorAt, 4u);
    EXPECT_EQ(s.installTotal, 2u);
    EXPECT_EQ(s.eventDelayMs, 0u);
    EXPECT_EQ(s.writes[9], 1);
    EXPECT_EQ(s.failures["DrxRtConnect"].code, 0x50002005);
    EXPECT_EQ(s.failures["DrxRtConnect"].after, 1u);
    EXPECT_EQ(s.pausesMs["DrxRtGetModuleIds"], 300u);
}

TEST(DrxScenarioTest, RefusesMalformedLinesNamingTheFirst)
{
    for (const char* line : {"module 4711 x 1 A", "pcapp zvci 1.3.0 2013-01-01", "pcapp zvci 1.3.0.256 2013-01-01",
                             "vciapp 4711 5 zvci 1.0.0.0 2013-01-01 busy", "server 1.0.0.0 2013-01-01",
                             "install 0", "install 3 oops 1", "install 3 total", "fail DrxRtConnect", "fail X 1 before 2", "pause DrxRtConnect soon",
                             "pcapp zvci 1.0.0.0 1969-01-01", "bogus"}) {
        Scenario s;
        std::string error;
        EXPECT_FALSE(ParseScenario(std::string("delay 1\n") + line + "\n", s, error)) << line;
        EXPECT_EQ(error, std::string("line 2: ") + line);
    }
}

}  // namespace
