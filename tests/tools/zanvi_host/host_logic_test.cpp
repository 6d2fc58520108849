// zanvi_host's own rules, called directly: the service-instance wrapping, the command line,
// the progress bar and the state names.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_progress.h"
#include "host_command_line.h"
#include "service_text.h"
#include "state_names.h"
#include "test_files.h"

namespace {

TEST(ServiceWrappingTest, StripsTheWrappingAndTakesABareTextAsItIs)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* body;
    } cases[] = {
        {L"srv[DEMO-01._zeb_vci._tcp.local,58713,usb]", true, L"DEMO-01._zeb_vci._tcp.local,58713,usb"},
        {L"DEMO-01._wyn_vci._tcp.local,6800,wifi", true, L"DEMO-01._wyn_vci._tcp.local,6800,wifi"},
        {L"srv[LAB-07._wyn_vci._tcp.local,6800,eth", false, L""},  // no closing bracket
        {L"srv[", false, L""},
        {L"srv[]", false, L""},
        {L"SRV[X-1._zeb_vci._tcp.local,58713,usb]", true, L"SRV[X-1._zeb_vci._tcp.local,58713,usb]"},
    };
    for (const Case& c : cases) {
        std::wstring body;
        std::wstring error;
        EXPECT_EQ(StripServiceWrapping(c.text, body, error), c.ok) << Narrow(c.text);
        if (c.ok) {
            EXPECT_EQ(body, c.body);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST(ServiceWrappingTest, RefusesCharactersOutsideTheSystemCodePage)
{
    std::string ansi;
    EXPECT_TRUE(ToAnsiText(L"DEMO-01._zeb_vci._tcp.local,58713,usb", ansi));
    EXPECT_EQ(ansi, "DEMO-01._zeb_vci._tcp.local,58713,usb");
    if (GetACP() != CP_UTF8) {
        EXPECT_FALSE(ToAnsiText(L"DEMO-\x4e00._zeb_vci._tcp.local,58713,usb", ansi));
    }
}

TEST(HostCommandLineTest, AcceptsTheCommandsWithOptionsAnywhere)
{
    HostOptions options;
    std::wstring error;
    ASSERT_TRUE(ParseHostCommandLine({L"update", L"Zanvi", L"--dir", L"C:\\plugins", L"getVciPlatformVer (debug)",
                                      L"--timeout", L"30"},
                                     options, error));
    EXPECT_EQ(options.command, HostCommand::Update);
    EXPECT_EQ(options.section, L"Zanvi");
    EXPECT_EQ(options.updateCommand, L"getVciPlatformVer (debug)");
    EXPECT_EQ(options.pluginDir, L"C:\\plugins");
    EXPECT_EQ(options.timeoutSeconds, 30u);

    ASSERT_TRUE(ParseHostCommandLine({L"update", L"Zanvi"}, options, error));
    EXPECT_EQ(options.updateCommand, L"FWUpdate");

    ASSERT_TRUE(ParseHostCommandLine({L"--source", L"registry", L"resolve"}, options, error));
    EXPECT_EQ(options.command, HostCommand::Resolve);
    EXPECT_EQ(options.source, SelectionSource::Registry);
    EXPECT_TRUE(options.text.empty());

    ASSERT_TRUE(ParseHostCommandLine({L"doctor"}, options, error));
    EXPECT_EQ(options.command, HostCommand::Doctor);
    EXPECT_EQ(options.browseSeconds, 3u);
    EXPECT_TRUE(options.reportFile.empty());
    ASSERT_TRUE(ParseHostCommandLine({L"--out", L"ticket.txt", L"doctor", L"--seconds", L"60"}, options, error));
    EXPECT_EQ(options.browseSeconds, 60u);
    EXPECT_EQ(options.reportFile, L"ticket.txt");
}

TEST(HostCommandLineTest, RefusesBadArgumentsWithAReason)
{
    std::vector<std::vector<std::wstring>> cases = {
        {},
        {L"frobnicate"},
        {L"show", L"extra"},
        {L"resolve", L"a", L"b"},
        {L"resolve", L""},
        {L"update"},
        {L"update", L""},
        {L"update", L"Zanvi", L"FWUpdate", L"more"},
        {L"--timeout", L"0", L"show"},
        {L"--timeout", L"12x", L"show"},
        {L"--timeout", L"86401", L"show"},
        {L"show", L"--dir"},
        {L"--bogus", L"show"},
        {L"--source", L"disk", L"resolve"},
        {L"--source", L"ini", L"resolve", L"X-1._zeb_vci._tcp.local,58713,usb"},
        {L"doctor", L"extra"},
        {L"--seconds", L"0", L"doctor"},
        {L"--seconds", L"61", L"doctor"},
        {L"doctor", L"--out", L""},
        {L"--out", L"ticket.txt", L"show"},
        {L"--seconds", L"5", L"resolve"},
    };
    for (const auto& args : cases) {
        HostOptions options;
        std::wstring error;
        std::wstring joined;
        for (const auto& a : args) joined += a + L" ";
        EXPECT_FALSE(ParseHostCommandLine(args, options, error)) << Narrow(joined);
        EXPECT_FALSE(error.empty()) << Narrow(joined);
    }
}

TEST(ProgressLineTest, FillsTheBarInProportionAndShowsFiguresOutsideTheRange)
{
    EXPECT_EQ(FormatProgressLine(0, 15, "RS_Working"), "[..............................] 0/15 RS_Working");
    EXPECT_EQ(FormatProgressLine(7, 15, "RS_Working"), "[##############................] 7/15 RS_Working");
    EXPECT_EQ(FormatProgressLine(100, 100, "US_Ready"), "[##############################] 100/100 US_Ready");
    EXPECT_EQ(FormatProgressLine(-1, 60, "RS_Error"), "[..............................] -1/60 RS_Error");
    EXPECT_EQ(FormatProgressLine(5, 0, "RS_Working"), "[..............................] 5/0 RS_Working");
}

TEST(StateNamesTest, NamesEveryNumberOfBothVocabulariesAndNothingElse)
{
    EXPECT_STREQ(ResolverStateName(0), "RS_Idle");
    EXPECT_STREQ(ResolverStateName(5), "RS_Error");
    EXPECT_STREQ(ResolverStateName(6), "unknown");
    EXPECT_STREQ(UpdateStateName(3), "US_Ready");
    EXPECT_STREQ(UpdateStateName(-1), "unknown");
    EXPECT_STREQ(UpdateErrorStateName(-2), "ES_Internal");
    EXPECT_STREQ(UpdateErrorStateName(-1), "ES_Failed");
    EXPECT_STREQ(UpdateErrorStateName(11), "ES_ModuleId");
    EXPECT_STREQ(UpdateErrorStateName(31), "ES_VersionConflict");
    EXPECT_STREQ(UpdateErrorStateName(59), "ES_MissingSection");
    EXPECT_STREQ(UpdateErrorStateName(60), "ES_CanceledFWU");
    EXPECT_STREQ(UpdateErrorStateName(61), "unknown");
    EXPECT_STREQ(UpdateErrorStateName(-3), "unknown");
}

}  // namespace
