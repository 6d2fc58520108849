// Command line, variant choice and the dialog object each variant builds.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "discovery.h"
#include "query_string.h"
#include "selector_app.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "zanvi_selector_dlg.h"

namespace {

TEST(VariantChoiceTest, OnlyModeExactlyTwoChoosesBaySteward)
{
    struct Case {
        const wchar_t* commandLine;
        bool baySteward;
    };
    const Case cases[] = {
        {L"mode=2", true},       {L"x=1&mode=2", true},   {L"&&mode=2&", true},
        {L"mode=&mode=2", true}, {L"mode==2", true},      {L"mode=1", false},
        {L"mode=02", false},     {L"MODE=2", false},      {L"mode = 2", false},
        {L"", false},            {L"mode=1&mode=2", false}, {L"mode=2 ", false},
        {L"mode", false},        {L"=2", false},
    };
    for (const Case& c : cases) {
        VariantChoice choice = ChooseVariant(c.commandLine);
        EXPECT_EQ(choice.nVariant, c.baySteward ? 1 : 0) << c.commandLine;
        EXPECT_EQ(choice.nDialogId, c.baySteward ? 103 : 102) << c.commandLine;
    }
    // A long command line is read whole.
    EXPECT_EQ(ChooseVariant(L"x=" + std::wstring(600, L'a') + L"&mode=2").nVariant, 1);
}

TEST(VariantChoiceTest, QueryStringKeepsPairsInTheirFirstForm)
{
    QueryString query(L"a=1=b=2&a=3&c=&d=x y&%41=4");
    EXPECT_EQ(query.Lookup(L"a"), L"1");
    EXPECT_EQ(query.Lookup(L"b"), L"2");
    EXPECT_EQ(query.Lookup(L"c"), L"");
    EXPECT_EQ(query.Lookup(L"d"), L"x y");
    EXPECT_EQ(query.Lookup(L"%41"), L"4");
    EXPECT_EQ(query.Lookup(L"A"), L"");
}

TEST(VariantChoiceTest, ArgumentsFollowTheProgramName)
{
    struct Case {
        const wchar_t* full;
        const wchar_t* arguments;
    };
    const Case cases[] = {
        {L"ZanviSelector.exe mode=2", L"mode=2"},
        {L"\"C:\\Program Files\\Zanvi\\ZanviSelector.exe\"  \tmode=2&x=1", L"mode=2&x=1"},
        {L"\"C:\\a b\\ZanviSelector.exe\"", L""},
        {L"ZanviSelector.exe", L""},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(CommandLineArguments(c.full), c.arguments) << c.full;
}

class DialogConstructionTest : public ::testing::Test {
protected:
    TempDir m_dir;
    MessageBoxRecorder m_boxes;
};

TEST_F(DialogConstructionTest, CorvexVariantLocatesTheIniFile)
{
    ASSERT_TRUE(WriteWholeFile(m_dir.File(L"HXSystem.ini"), ""));
    ShellFoldersAt shell({{CSIDL_WINDOWS, m_dir.Path()}});
    CZanviSelectorDlg dlg(102, 0);
    EXPECT_EQ(dlg.m_nIDTemplate, 102);
    EXPECT_EQ(dlg.m_nVariant, 0);
    EXPECT_STREQ(g_szServiceType, "_zeb_vci._tcp");
    EXPECT_STREQ(dlg.m_szDomainSuffix, "._zeb_vci._tcp.local");
    EXPECT_STREQ(dlg.m_szPort, "58713");
    EXPECT_EQ(dlg.m_strIniFile, m_dir.File(L"HXSystem.ini"));
    EXPECT_EQ(dlg.m_pHostPreferences, nullptr);
    ASSERT_NE(dlg.m_pInstanceChecker, nullptr);
    EXPECT_EQ(dlg.m_pInstanceChecker->BuildMappingName(),
              L"{098B847E-C832-4b63-80D4-C60435E12501}_CInstanceChecker_MMF");
    EXPECT_EQ(dlg.m_nSelLink, -1);
    EXPECT_EQ(dlg.m_bSaved, 0);
    EXPECT_EQ(dlg.m_nTimerId, 0u);
    EXPECT_STREQ(dlg.m_szSelection, "");
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DialogConstructionTest, BayStewardVariantSetsUpTheHostPreferences)
{
    RedirectedHostKeys keys;
    ShellFoldersAt shell({{CSIDL_WINDOWS, m_dir.Path()}});
    ASSERT_TRUE(WriteWholeFile(m_dir.File(L"HXSystem.ini"), ""));
    CZanviSelectorDlg dlg(103, 1);
    EXPECT_EQ(dlg.m_nVariant, 1);
    EXPECT_STREQ(g_szServiceType, "_wyn_vci._tcp");
    EXPECT_STREQ(dlg.m_szDomainSuffix, "._wyn_vci._tcp.local");
    EXPECT_STREQ(dlg.m_szPort, "6800");
    EXPECT_EQ(dlg.m_strIniFile, L"") << "the INI search is the Corvex variant's";
    EXPECT_TRUE(shell.Requests().empty());
    ASSERT_NE(dlg.m_pHostPreferences, nullptr);
    EXPECT_EQ(dlg.m_pHostPreferences->m_strServiceInstanceValue, L"VCIServiceInstance");
    EXPECT_TRUE(keys.MachineKeyExists(L"Software\\Dravix\\Lumadesk\\Users\\0"));
    ASSERT_NE(dlg.m_pInstanceChecker, nullptr);
    EXPECT_EQ(dlg.m_pInstanceChecker->BuildMappingName(),
              L"{8EFDE6E3-5327-4921-ACE0-8DB657457BF4}_CInstanceChecker_MMF");
}

TEST_F(DialogConstructionTest, BayStewardVariantBuildsWithoutMachineRights)
{
    RedirectedHostKeys keys(/*machineWritable=*/false);
    CZanviSelectorDlg dlg(103, 1);
    EXPECT_NE(dlg.m_pHostPreferences, nullptr);
    EXPECT_FALSE(keys.MachineKeyExists(L"Software\\Dravix\\Lumadesk\\Users\\0"));
}

}  // namespace
