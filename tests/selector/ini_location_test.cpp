// The search for the Corvex host's INI file, over private folders named by a stand-in shell.
#include "ini_location.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "zanvi_selector_dlg.h"

namespace {

const wchar_t kHostFolder[] = L"Quellar\\Corvex2\\Corvex";

class IniLocationTest : public ::testing::Test {
protected:
    IniLocationTest()
        : m_windows(m_root.File(L"windows")), m_common(m_root.File(L"common")),
          m_user(m_root.File(L"user"))
    {
        for (const std::wstring& dir : {m_windows, m_common, m_user})
            CreateDirectoryW(dir.c_str(), nullptr);
    }

    // Creates folder\Quellar\Corvex2\Corvex.
    std::wstring HostDir(const std::wstring& folder) const
    {
        std::wstring path = folder;
        for (const wchar_t* part : {L"Quellar", L"Corvex2", L"Corvex"}) {
            path += L"\\";
            path += part;
            CreateDirectoryW(path.c_str(), nullptr);
        }
        return path;
    }
    static void Touch(const std::wstring& file) { ASSERT_TRUE(WriteWholeFile(file, "")); }

    // Runs the search with the given folder names; returns its log lines.
    std::vector<std::wstring> Search(std::wstring windows, std::wstring common, std::wstring user)
    {
        ShellFoldersAt shell({{CSIDL_WINDOWS, windows}, {CSIDL_COMMON_APPDATA, common},
                              {CSIDL_APPDATA, user}});
        DebugOutputCapture capture;
        m_dlg.FindIniFile();
        EXPECT_EQ(shell.Requests(),
                  (std::vector<int>{CSIDL_WINDOWS, CSIDL_COMMON_APPDATA, CSIDL_APPDATA}));
        return capture.Messages();
    }
    std::vector<std::wstring> Search() { return Search(m_windows, m_common, m_user); }

    TempDir m_root;
    std::wstring m_windows, m_common, m_user;
    CZanviSelectorDlg m_dlg{CZanviSelectorDlg::kCorvexDialogId, CZanviSelectorDlg::kCorvex};
};

TEST_F(IniLocationTest, WindowsFolderWinsWithASingleLogLine)
{
    Touch(m_windows + L"\\HXSystem.ini");
    Touch(HostDir(m_common) + L"\\QuellarDG.ini");
    Touch(HostDir(m_user) + L"\\QuellarDG.ini");
    m_dlg.m_strIniFile = L"stale";
    auto log = Search();
    EXPECT_EQ(m_dlg.m_strIniFile, m_windows + L"\\HXSystem.ini");
    EXPECT_EQ(log, std::vector<std::wstring>{L"D:Zanvi-Selector: using '" + m_windows +
                                             L"\\HXSystem.ini'"});
}

TEST_F(IniLocationTest, AllUsersFileWinsOverTheUsersFile)
{
    std::wstring common = HostDir(m_common) + L"\\QuellarDG.ini";
    Touch(common);
    Touch(HostDir(m_user) + L"\\QuellarDG.ini");
    auto log = Search();
    EXPECT_EQ(m_dlg.m_strIniFile, common);
    EXPECT_EQ(log, (std::vector<std::wstring>{
                       L"W:Zanvi-Selector: didn't find file '" + m_windows + L"\\HXSystem.ini'",
                       L"D:Zanvi-Selector: using '" + common + L"'"}));
}

TEST_F(IniLocationTest, DirectoryNamedLikeTheFileIsPassedOver)
{
    CreateDirectoryW((m_windows + L"\\HXSystem.ini").c_str(), nullptr);
    std::wstring user = HostDir(m_user) + L"\\QuellarDG.ini";
    Touch(user);
    auto log = Search();
    EXPECT_EQ(m_dlg.m_strIniFile, user);
    EXPECT_EQ(log, (std::vector<std::wstring>{
                       L"W:Zanvi-Selector: didn't find file '" + m_windows + L"\\HXSystem.ini'",
                       L"W:Zanvi-Selector: didn't find directory '" + m_common + L"\\" +
                           kHostFolder + L"'",
                       L"D:Zanvi-Selector: using '" + user + L"'"}));
}

TEST_F(IniLocationTest, NothingAnywhereLogsEachCandidateThenTheError)
{
    HostDir(m_user);
    auto log = Search(m_root.File(L"no-windows"), m_common, m_user);
    EXPECT_EQ(m_dlg.m_strIniFile, L"");
    EXPECT_EQ(log, (std::vector<std::wstring>{
                       L"W:Zanvi-Selector: didn't find directory '" + m_root.File(L"no-windows") +
                           L"'",
                       L"W:Zanvi-Selector: didn't find directory '" + m_common + L"\\" +
                           kHostFolder + L"'",
                       L"W:Zanvi-Selector: didn't find file '" + m_user + L"\\" + kHostFolder +
                           L"\\QuellarDG.ini'",
                       L"E:Zanvi-Selector: could not find INI file to use."}));
}

TEST_F(IniLocationTest, AnyExistingNonDirectoryCountsAsTheFile)
{
    std::wstring file = m_windows + L"\\HXSystem.ini";
    Touch(file);
    SetFileAttributesW(file.c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    Search();
    EXPECT_EQ(m_dlg.m_strIniFile, file);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(IniLocationTest, FolderTheShellCannotNameCountsAsMissing)
{
    std::wstring user = HostDir(m_user) + L"\\QuellarDG.ini";
    Touch(user);
    auto log = Search(L"", L"", m_user);
    EXPECT_EQ(m_dlg.m_strIniFile, user);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"W:Zanvi-Selector: didn't find directory ''",
                                              L"W:Zanvi-Selector: didn't find directory ''",
                                              L"D:Zanvi-Selector: using '" + user + L"'"}));
}

TEST_F(IniLocationTest, FolderWithTrailingBackslashIsJoinedOnce)
{
    Touch(m_windows + L"\\HXSystem.ini");
    Search(m_windows + L"\\", m_common, m_user);
    EXPECT_EQ(m_dlg.m_strIniFile, m_windows + L"\\HXSystem.ini");
}

TEST(JoinPathTest, AddsOneBackslashOnlyWhenMissing)
{
    EXPECT_EQ(JoinPath(L"C:\\", L"a.ini"), L"C:\\a.ini");
    EXPECT_EQ(JoinPath(L"C:\\dir", L"a.ini"), L"C:\\dir\\a.ini");
    EXPECT_EQ(JoinPath(L"C:\\dir", L"Quellar\\Corvex2\\Corvex"), L"C:\\dir\\Quellar\\Corvex2\\Corvex");
}

}  // namespace
