// ZanviSelector.exe as a user starts it: one dialog per variant, and a scripted user who picks
// a VCI link listed through the dnssd stand-in and saves it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

const wchar_t kBayStewardTitle[] = L"Zanvi Selector - Bay Steward";
const wchar_t kSettingsKey[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";

// A process started from a command line, ended (if still running) when the object goes.
class Process {
public:
    explicit Process(std::wstring commandLine)
    {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &m_pi))
            CloseHandle(m_pi.hThread);
    }
    ~Process()
    {
        if (!m_pi.hProcess) return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_pi.hProcess, 99);
            WaitForSingleObject(m_pi.hProcess, 5000);
        }
        CloseHandle(m_pi.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_pi.hProcess != nullptr; }
    DWORD Id() const { return m_pi.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end within ms.
    DWORD Wait(DWORD ms) const
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(m_pi.hProcess, ms) == WAIT_OBJECT_0)
            GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_pi = {};
};

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
    // The first selector's dialog, once it is shown.
    HWND WaitForDialog(DWORD processId)
    {
        HWND hDlg = nullptr;
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(50)) {
            TitledWindows found = FindDialogs(kBayStewardTitle);
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
    Process first(Selector(L"mode=2"));
    ASSERT_TRUE(first.Started());
    HWND hDlg = WaitForDialog(first.Id());
    ASSERT_NE(hDlg, nullptr);
    ShowWindow(hDlg, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(hDlg));

    Process second(Selector(L"x=1&mode=2"));
    ASSERT_TRUE(second.Started());
    EXPECT_EQ(second.Wait(20000), 0u);
    EXPECT_EQ(FindDialogs(kBayStewardTitle).count, 1);
    EXPECT_FALSE(IsIconic(hDlg)) << "the first dialog is restored";

    PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(first.Wait(20000), 0u);

    // With the first one gone, a new start is a first instance again.
    Process third(Selector(L"mode=2"));
    HWND hThird = WaitForDialog(third.Id());
    EXPECT_NE(hThird, nullptr);
    if (hThird) PostMessageW(hThird, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(third.Wait(20000), 0u);
}

TEST_F(SelectorProgramTest, ScriptedUserPicksAListedLinkAndSaves)
{
    Process selector(Selector(L"mode=2"));
    ASSERT_TRUE(selector.Started());
    Process user(L"\"" + SimDir() + L"\\scripted_user.exe\" \"" + kBayStewardTitle +
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
