// ZanviSelector.exe as a user starts it: one dialog per variant, and a scripted user who picks
// a VCI link listed through the dnssd stand-in and saves it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "test_files.h"

namespace {

const wchar_t kBayStewardTitle[] = L"Zanvi Selector - Bay Steward";
const wchar_t kCorvexTitle[] = L"Zanvi Selector - Corvex";
const wchar_t kSettingsKey[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";

struct TitledWindows {
    const wchar_t* title;
    int count;
    HWND last;
    DWORD processId;
};

BOOL CALLBACK CountTitled(HWND hWnd, LPARAM lParam)
{
    auto* found = reinterpret_cast<TitledWindows*>(lParam);
    wchar_t text[128] = {};
    GetWindowTextW(hWnd, text, 128);
    if (IsWindowVisible(hWnd) && std::wstring(text) == found->title) {
        ++found->count;
        found->last = hWnd;
        GetWindowThreadProcessId(hWnd, &found->processId);
    }
    return TRUE;
}

BOOL CALLBACK CollectStaticText(HWND hWnd, LPARAM lParam)
{
    wchar_t className[32] = {}, text[512] = {};
    GetClassNameW(hWnd, className, 32);
    if (_wcsicmp(className, L"Static") == 0 && GetWindowTextW(hWnd, text, 512) > 0)
        *reinterpret_cast<std::wstring*>(lParam) += text;
    return TRUE;
}

// The text of a message box: what its static controls show.
std::wstring MessageBoxText(HWND hBox)
{
    std::wstring text;
    EnumChildWindows(hBox, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

TitledWindows FindDialogs(const wchar_t* title)
{
    TitledWindows found = {title, 0, nullptr, 0};
    EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool KeyExists(HKEY hRoot, const wchar_t* path)
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, path, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return false;
    RegCloseKey(hKey);
    return true;
}

// The selector's program in a folder of its own with the dnssd stand-in and a scenario; the
// host keys that a Bay Steward run creates are removed again when they were not there before.
class SelectorProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CopyInto(BinDir() + L"\\ZanviSelector.exe", m_dir.Path()));
        ASSERT_TRUE(CopyInto(SimDir() + L"\\dnssd.dll", m_dir.Path()));
        ASSERT_TRUE(WriteWholeFile(m_dir.File(L"dnssd_scenario.txt"),
                                   "instance DEMO-01 _wyn_vci._tcp\n"
                                   "  txt \"usb=true\" \"wifi=true\" \"eth=false\"\n"
                                   "  port 6800\n"));
    }
    void TearDown() override
    {
        for (HKEY hRoot : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            if (!m_hadHostKeys[hRoot == HKEY_LOCAL_MACHINE]) RegDeleteTreeW(hRoot, L"Software\\Dravix");
    }

    std::wstring Selector(const wchar_t* arguments) const
    {
        return L"\"" + m_dir.File(L"ZanviSelector.exe") + L"\" " + arguments;
    }
    // The process's one shown window of that title, once it is shown.
    HWND WaitForDialog(DWORD processId, const wchar_t* title = kBayStewardTitle)
    {
        HWND hDlg = nullptr;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(50)) {
            TitledWindows found = FindDialogs(title);
            if (found.count == 1 && found.processId == processId) {
                hDlg = found.last;
                break;
            }
        }
        return hDlg;
    }

    bool m_hadHostKeys[2] = {KeyExists(HKEY_CURRENT_USER, L"Software\\Dravix"),
                             KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Dravix")};
    TempDir m_dir;
};

TEST_F(SelectorProgramTest, SecondStartOfTheSameVariantRaisesTheFirstAndShowsNothing)
{
    ChildProcess first(Selector(L"mode=2"));
    ASSERT_TRUE(first.Started());
    HWND hDlg = WaitForDialog(first.Id());
    ASSERT_NE(hDlg, nullptr);
    // A dialog still finishing its start-up may show itself again: minimise until it stays.
    for (DWORD start = GetTickCount(); !IsIconic(hDlg) && GetTickCount() - start < 10000; Sleep(200))
        ShowWindow(hDlg, SW_MINIMIZE);
    Sleep(300);
    ASSERT_TRUE(IsIconic(hDlg));

    ChildProcess second(Selector(L"x=1&mode=2"));
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(20000), 0u);
    EXPECT_EQ(FindDialogs(kBayStewardTitle).count, 1);
    EXPECT_FALSE(IsIconic(hDlg)) << "the first dialog is restored";

    PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(first.Wait(20000), 0u);

    // With the first one gone, a new start is a first instance again.
    ChildProcess third(Selector(L"mode=2"));
    HWND hThird = WaitForDialog(third.Id());
    EXPECT_NE(hThird, nullptr);
    if (hThird) PostMessageW(hThird, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(third.Wait(20000), 0u);
}

TEST_F(SelectorProgramTest, WithoutTheDnssdLibraryTheDialogOpensWithoutDiscovery)
{
    ASSERT_TRUE(DeleteFileW(m_dir.File(L"dnssd.dll").c_str()));
    ChildProcess selector(Selector(L""));
    ASSERT_TRUE(selector.Started());
    // Two boxes without a caption: what failed, then the path tried.
    std::vector<std::wstring> boxes;
    for (int i = 0; i < 2; ++i) {
        HWND hBox = WaitForDialog(selector.Id(), L"");
        ASSERT_NE(hBox, nullptr) << i;
        boxes.push_back(MessageBoxText(hBox));
        PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (DWORD start = GetTickCount(); IsWindow(hBox) && GetTickCount() - start < 5000;)
            Sleep(50);
    }
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], L"DLL dnssd did not load");
    EXPECT_NE(boxes[1].find(L"dnssd.dll"), std::wstring::npos) << boxes[1];

    // No INI check after a failed load: the dialog comes up with Save enabled and no error box.
    HWND hDlg = WaitForDialog(selector.Id(), kCorvexTitle);
    ASSERT_NE(hDlg, nullptr);
    Sleep(500);
    EXPECT_EQ(FindDialogs(L"Zanvi Selector").count, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hDlg, 107)));
    PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(selector.Wait(20000), 0u);
}

TEST_F(SelectorProgramTest, ScriptedUserPicksAListedLinkAndSaves)
{
    ChildProcess selector(Selector(L"mode=2"));
    ASSERT_TRUE(selector.Started());
    ChildProcess user(L"\"" + SimDir() + L"\\scripted_user.exe\" \"" + kBayStewardTitle +
                 L"\" DEMO-01 WiFi save 30");
    ASSERT_TRUE(user.Started());
    EXPECT_EQ(user.Wait(60000), 0u);
    EXPECT_EQ(selector.Wait(20000), 0u);

    wchar_t text[200] = {};
    DWORD cb = sizeof(text);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"VCIServiceInstance", RRF_RT_REG_SZ,
                           nullptr, text, &cb),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, L"srv[DEMO-01._wyn_vci._tcp.local,6800,wifi]");
}

}  // namespace
