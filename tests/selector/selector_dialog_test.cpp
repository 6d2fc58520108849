// The selection dialog in this process, steered like a user would: the tree, picking a link,
// Save and Cancel with what they write and broadcast, the VCI manager and the About box.
#include <windows.h>
#include <commctrl.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "discovery.h"
#include "instance_checker.h"
#include "resource.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "zanvi_selector_dlg.h"

namespace {

const wchar_t kSettingsKey[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const char kCorvexType[] = "_zeb_vci._tcp";
const char kBayStewardType[] = "_wyn_vci._tcp";
const std::vector<SimulatedVci> kThreeVcis = {
    {"DEMO-01", true, true, false}, {"DEMO-02", true, true, true}, {"LAB-7", false, false, true}};
const std::vector<std::wstring> kThreeVcisUnchecked = {
    L"DEMO-01", L"  USB [ ]", L"  WiFi [ ]", L"DEMO-02", L"  USB [ ]", L"  WiFi [ ]",
    L"  Ethernet [ ]", L"LAB-7", L"  Ethernet [ ]"};

// Waits until discovery has drawn the tree as expected; answers the tree as last seen.
std::vector<std::wstring> WaitForTree(HWND hTree, const std::vector<std::wstring>& expected)
{
    std::vector<std::wstring> lines;
    WaitFor([&] { return (lines = TreeLines(hTree)) == expected; }, 15000);
    return lines;
}

class SelectorDialogTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        // Each dialog publishes itself; the next one must start as a first instance again.
        g_hInstanceMapping.Reset();
    }

    // A Corvex dialog whose host INI file holds ini (no file when ini is null).
    std::unique_ptr<CZanviSelectorDlg> Corvex(const char* ini)
    {
        if (ini) {
            EXPECT_TRUE(WriteWholeFile(IniFile(), ini));
        }
        m_shell = std::make_unique<ShellFoldersAt>(std::map<int, std::wstring>{{CSIDL_WINDOWS, m_dir.Path()}});
        return std::make_unique<CZanviSelectorDlg>(IDD_SELECTOR_CORVEX, 0);
    }
    // A Bay Steward dialog; savedText, when given, is the choice saved before.
    std::unique_ptr<CZanviSelectorDlg> BaySteward(const wchar_t* savedText = nullptr)
    {
        if (savedText) {
            EXPECT_TRUE(m_keys.WriteUserString(kSettingsKey, L"VCIServiceInstance", savedText));
        }
        return std::make_unique<CZanviSelectorDlg>(IDD_SELECTOR_BAY_STEWARD, 1);
    }
    std::wstring IniFile() const { return m_dir.File(L"HXSystem.ini"); }
    std::wstring SavedRegistryText() const
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        if (!m_keys.UserValue(kSettingsKey, L"VCIServiceInstance", type, data)) return L"<none>";
        return reinterpret_cast<const wchar_t*>(data.data());
    }

    SimulatedNetwork m_network;
    TempDir m_dir;
    MessageBoxRecorder m_boxes;
    RedirectedHostKeys m_keys;
    std::unique_ptr<ShellFoldersAt> m_shell;
    BroadcastCounter m_broadcasts;
};

HWND TreeOf(HWND hDlg) { return GetDlgItem(hDlg, IDC_TREE); }
std::wstring BoxOf(HWND hDlg) { return WindowText(GetDlgItem(hDlg, IDC_SELECTION)); }

TEST_F(SelectorDialogTest, TreeListsVcisWithTheirLinksAndChecksTheSavedChoice)
{
    auto dlg = Corvex("[SD_HARDWARE]\r\nInterface=zanvi\r\n[zanvi]\r\n"
                      "Device=srv[demo-02._zeb_vci._tcp.local,58713,wifi]\r\n");
    m_network.Announce(kCorvexType, kThreeVcis);
    RunDialog(*dlg, [](HWND hDlg) {
        EXPECT_EQ(BoxOf(hDlg), L"demo-02 WiFi");
        std::vector<std::wstring> expected = {L"DEMO-01", L"  USB [ ]", L"  WiFi [ ]",
                                              L"DEMO-02", L"  USB [ ]", L"  WiFi [x]",
                                              L"  Ethernet [ ]", L"LAB-7", L"  Ethernet [ ]"};
        EXPECT_EQ(WaitForTree(TreeOf(hDlg), expected), expected);
    });
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SelectorDialogTest, PickingALinkChecksOnlyItsBoxAndShowsIt)
{
    auto dlg = Corvex("");
    m_network.Announce(kCorvexType, kThreeVcis);
    RunDialog(*dlg, [](HWND hDlg) {
        HWND hTree = TreeOf(hDlg);
        ASSERT_EQ(WaitForTree(hTree, kThreeVcisUnchecked), kThreeVcisUnchecked);
        ClickItem(hTree, FindItem(hTree, L"DEMO-01", L"WiFi"), /*onCheckBox=*/false);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-01 WiFi");
        std::vector<std::wstring> oneChecked = {L"DEMO-01", L"  USB [ ]", L"  WiFi [x]",
                                                L"DEMO-02", L"  USB [ ]", L"  WiFi [ ]",
                                                L"  Ethernet [ ]", L"LAB-7", L"  Ethernet [ ]"};
        EXPECT_EQ(TreeLines(hTree), oneChecked);

        // A VCI's own name is no choice.
        ClickItem(hTree, FindItem(hTree, L"DEMO-02", L""), false);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-01 WiFi");
        EXPECT_EQ(TreeLines(hTree), oneChecked);

        HTREEITEM hEth = FindItem(hTree, L"DEMO-02", L"Ethernet");
        ClickItem(hTree, hEth, /*onCheckBox=*/true);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-02 Ethernet");
        std::vector<std::wstring> ethChecked = {L"DEMO-01", L"  USB [ ]", L"  WiFi [ ]",
                                                L"DEMO-02", L"  USB [ ]", L"  WiFi [ ]",
                                                L"  Ethernet [x]", L"LAB-7", L"  Ethernet [ ]"};
        EXPECT_EQ(TreeLines(hTree), ethChecked);
        // The tree's own toggle unticks it; the pick that follows ticks it again.
        ClickItem(hTree, hEth, true);
        EXPECT_EQ(TreeLines(hTree), ethChecked);

        PressSpaceOn(hTree, FindItem(hTree, L"LAB-7", L"Ethernet"));
        EXPECT_EQ(BoxOf(hDlg), L"LAB-7 Ethernet");
        EXPECT_EQ(TreeLines(hTree).back(), L"  Ethernet [x]");
        EXPECT_EQ(TreeLines(hTree)[6], L"  Ethernet [ ]");

        // Neither the space bar on a VCI's name nor a pick message with an item the tree does
        // not hold changes the choice; a collapsed VCI's checked link is unchecked by a pick.
        std::vector<std::wstring> labChecked = TreeLines(hTree);
        PressSpaceOn(hTree, FindItem(hTree, L"DEMO-01", L""));
        PostMessageW(hDlg, WM_APP, IDC_TREE, 0x5A5A5A5A);
        Settle();
        EXPECT_EQ(BoxOf(hDlg), L"LAB-7 Ethernet");
        EXPECT_EQ(TreeLines(hTree), labChecked);
        TreeView_Expand(hTree, FindItem(hTree, L"LAB-7", L""), TVE_COLLAPSE);
        PressSpaceOn(hTree, FindItem(hTree, L"DEMO-01", L"USB"));
        TreeView_Expand(hTree, FindItem(hTree, L"LAB-7", L""), TVE_EXPAND);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-01 USB");
        EXPECT_EQ(TreeLines(hTree).back(), L"  Ethernet [ ]");
    });
}

TEST_F(SelectorDialogTest, RedrawRestoresTheSavedCheckMarkWhileTheBoxKeepsTheClick)
{
    auto dlg = BaySteward(L"srv[DEMO-02._wyn_vci._tcp.local,6800,usb]");
    m_network.Announce(kBayStewardType, kThreeVcis);
    RunDialog(*dlg, [this](HWND hDlg) {
        HWND hTree = TreeOf(hDlg);
        std::vector<std::wstring> saved = kThreeVcisUnchecked;
        saved[4] = L"  USB [x]";
        ASSERT_EQ(WaitForTree(hTree, saved), saved);
        ClickItem(hTree, FindItem(hTree, L"DEMO-01", L"WiFi"), false);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-01 WiFi");

        m_network.Announce(kBayStewardType, {{"NEW-9", true, false, false}});
        std::vector<std::wstring> expected = saved;
        expected.insert(expected.end(), {L"NEW-9", L"  USB [ ]"});
        EXPECT_EQ(WaitForTree(hTree, expected), expected);
        EXPECT_EQ(BoxOf(hDlg), L"DEMO-01 WiFi");

        // A tick without a change keeps the tree as it is.
        ClickItem(hTree, FindItem(hTree, L"NEW-9", L"USB"), false);
        Tick(hDlg);
        EXPECT_EQ(TreeLines(hTree).back(), L"  USB [x]");
    });
}

TEST_F(SelectorDialogTest, CorvexSaveWritesTheIniFileAndBroadcastsNothing)
{
    auto dlg = Corvex("[SD_HARDWARE]\r\nInterface=Other\r\n");
    m_network.Announce(kCorvexType, kThreeVcis);
    INT_PTR result = RunDialog(*dlg, [](HWND hDlg) {
        HWND hTree = TreeOf(hDlg);
        ASSERT_EQ(WaitForTree(hTree, kThreeVcisUnchecked), kThreeVcisUnchecked);
        ClickItem(hTree, FindItem(hTree, L"DEMO-02", L"Ethernet"), false);
        ClickButton(hDlg, IDC_SAVE);
        WaitFor([&] { return !IsWindow(hDlg); }, 10000);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(dlg->m_bSaved, 1);
    std::string ini = ReadWholeFile(IniFile());
    EXPECT_NE(ini.find("Interface=Zanvi"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Device=srv[DEMO-02._zeb_vci._tcp.local,58713,eth]"), std::string::npos) << ini;
    EXPECT_EQ(m_broadcasts.Saves(), 0);
    EXPECT_EQ(m_broadcasts.Cancels(), 0);
}

TEST_F(SelectorDialogTest, CorvexCancelBroadcastsNothing)
{
    auto dlg = Corvex("");
    EXPECT_EQ(RunDialog(*dlg, [](HWND) {}), IDCANCEL);
    EXPECT_EQ(m_broadcasts.Saves(), 0);
    EXPECT_EQ(m_broadcasts.Cancels(), 0);
    EXPECT_EQ(ReadWholeFile(IniFile()), "");
}

TEST_F(SelectorDialogTest, BayStewardSaveWritesTheRegistryAndBroadcastsSaveOnly)
{
    auto dlg = BaySteward();
    m_network.Announce(kBayStewardType, kThreeVcis);
    INT_PTR result = RunDialog(*dlg, [](HWND hDlg) {
        HWND hTree = TreeOf(hDlg);
        ASSERT_EQ(WaitForTree(hTree, kThreeVcisUnchecked), kThreeVcisUnchecked);
        PressSpaceOn(hTree, FindItem(hTree, L"DEMO-01", L"WiFi"));
        ClickButton(hDlg, IDC_SAVE);
        WaitFor([&] { return !IsWindow(hDlg); }, 10000);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(SavedRegistryText(), L"srv[DEMO-01._wyn_vci._tcp.local,6800,wifi]");
    EXPECT_EQ(m_broadcasts.Saves(), 1);
    EXPECT_EQ(m_broadcasts.Cancels(), 0);
}

TEST_F(SelectorDialogTest, BayStewardCancelBroadcastsCancelOnce)
{
    auto dlg = BaySteward();
    EXPECT_EQ(RunDialog(*dlg, [](HWND) {}), IDCANCEL);
    EXPECT_EQ(m_broadcasts.Saves(), 0);
    EXPECT_EQ(m_broadcasts.Cancels(), 1);
    EXPECT_EQ(SavedRegistryText(), L"<none>");
}

TEST_F(SelectorDialogTest, SaveWithAnEmptyBoxKeepsTheDialogAndSilencesTheCancel)
{
    auto dlg = BaySteward();
    RunDialog(*dlg, [](HWND hDlg) {
        ClickButton(hDlg, IDC_SAVE);
        Settle();
        EXPECT_TRUE(IsWindow(hDlg));
    });
    EXPECT_EQ(m_broadcasts.Saves(), 0);
    EXPECT_EQ(m_broadcasts.Cancels(), 0);
    EXPECT_EQ(SavedRegistryText(), L"<none>");
}

TEST_F(SelectorDialogTest, NoIniFileTellsTheUserAndDisablesSave)
{
    auto dlg = Corvex(nullptr);
    RunDialog(*dlg, [](HWND hDlg) { EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hDlg, IDC_SAVE))); });
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"Could not find an INI file to use. Selection cannot not be saved.");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, L"Zanvi Selector");
    EXPECT_EQ(m_boxes.Boxes()[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(SelectorDialogTest, InitialisationPreparesTheWindow)
{
    auto dlg = Corvex("");
    RunDialog(*dlg, [&dlg](HWND hDlg) {
        // (Wine keeps no WS_EX_TOPMOST for an unmanaged window, so "always on top" is not
        // observable here.)
        EXPECT_EQ(dlg->m_uSaveMsg, RegisterWindowMessageW(L"com.quellar.zanviselector.save"));
        EXPECT_EQ(dlg->m_uCancelMsg, RegisterWindowMessageW(L"com.quellar.zanviselector.cancel"));
        LOGFONTW font = {};
        HFONT hFont = reinterpret_cast<HFONT>(SendDlgItemMessageW(hDlg, IDC_SELECTION, WM_GETFONT, 0, 0));
        ASSERT_TRUE(GetObjectW(hFont, sizeof(font), &font));
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        HIMAGELIST hStates = TreeView_GetImageList(TreeOf(hDlg), TVSIL_STATE);
        EXPECT_EQ(ImageList_GetImageCount(hStates), 4);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hDlg, WM_GETICON, ICON_BIG, 0)), dlg->m_hIcon);
        EXPECT_TRUE(dlg->m_pInstanceChecker->IsAnotherInstanceRunning()) << "published";

        HMENU hSysMenu = GetSystemMenu(hDlg, FALSE);
        wchar_t item[64] = {};
        GetMenuStringW(hSysMenu, IDM_ABOUTBOX, item, 64, MF_BYCOMMAND);
        EXPECT_STREQ(item, L"&About ZanviSelector...");
    });
}

TEST_F(SelectorDialogTest, AboutBoxOpensFromTheSystemMenuAndTheButton)
{
    auto dlg = BaySteward();
    RunDialog(*dlg, [](HWND hDlg) {
        for (bool fromMenu : {true, false}) {
            if (fromMenu)
                PostMessageW(hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            else
                ClickButton(hDlg, IDC_ABOUT);
            HWND hAbout = nullptr;
            EXPECT_TRUE(WaitFor([&] {
                return (hAbout = FindWindowW(L"#32770", L"About ZanviSelector")) != nullptr;
            })) << fromMenu;
            if (!hAbout) continue;
            EXPECT_EQ(GetWindow(hAbout, GW_OWNER), hDlg);
            EXPECT_FALSE(IsWindowEnabled(hDlg)) << "modal to the selector";
            PostMessageW(hAbout, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(hAbout); }));
        }
    });
}

POINT CentreOf(HWND hWnd)
{
    RECT rc = {};
    GetWindowRect(hWnd, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

TEST_F(SelectorDialogTest, DialogOpensCentredOnTheScreenAndTheAboutBoxCentredOverIt)
{
    auto dlg = BaySteward();
    RunDialog(*dlg, [](HWND hDlg) {
        RECT work = {};
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
        const POINT dialog = CentreOf(hDlg);
        EXPECT_NEAR(dialog.x, (work.left + work.right) / 2, 2);
        EXPECT_NEAR(dialog.y, (work.top + work.bottom) / 2, 2);

        // Moved by the user, the dialog takes its About box along.
        SetWindowPos(hDlg, nullptr, work.left + 40, work.top + 60, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ClickButton(hDlg, IDC_ABOUT);
        // Shown once its initialisation, the centring included, is over.
        HWND hAbout = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            hAbout = FindWindowW(L"#32770", L"About ZanviSelector");
            return hAbout && IsWindowVisible(hAbout);
        }));
        const POINT owner = CentreOf(hDlg);
        const POINT about = CentreOf(hAbout);
        EXPECT_NEAR(about.x, owner.x, 2);
        EXPECT_NEAR(about.y, owner.y, 2);
        PostMessageW(hAbout, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(hAbout); }));
    });
}

class VciManagerKey {
public:
    explicit VciManagerKey(const std::wstring& path)
    {
        HKEY hKey = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\QUELLAR\\DRX-VCI\\Zanvi", 0,
                                  nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &hKey,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(hKey, L"TaviManager", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(hKey);
    }
};

TEST_F(SelectorDialogTest, VciManagerWithoutItsKeyTellsTheUserAndStays)
{
    auto dlg = Corvex("");
    RunDialog(*dlg, [](HWND hDlg) {
        ClickButton(hDlg, IDC_VCI_MANAGER);
        Settle();
        EXPECT_TRUE(IsWindow(hDlg));
    });
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"Could not launch the VCI manager. Check that you have administrative rights.");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, L"VCI Manager");
    EXPECT_EQ(m_boxes.Boxes()[0].type, static_cast<UINT>(MB_ICONINFORMATION | MB_SYSTEMMODAL));
}

TEST_F(SelectorDialogTest, LaunchedVciManagerEndsTheDialogAsCancel)
{
    ASSERT_TRUE(CopyInto(SimDir() + L"\\VciManager.exe", m_dir.Path()));
    VciManagerKey key(m_dir.File(L"VciManager.exe"));
    auto dlg = BaySteward();
    INT_PTR result = RunDialog(*dlg, [](HWND hDlg) {
        ClickButton(hDlg, IDC_VCI_MANAGER);
        WaitFor([&] { return !IsWindow(hDlg); }, 10000);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(WaitFor([&] { return !ReadWholeFile(m_dir.File(L"VciManager.started")).empty(); }, 10000));
    EXPECT_EQ(ReadWholeFile(m_dir.File(L"VciManager.started")), "VciManager started:\r\n");
    EXPECT_EQ(m_broadcasts.Cancels(), 1);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

}  // namespace
