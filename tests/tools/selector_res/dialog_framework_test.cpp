// The dialog framework with the selector's real templates: modal dialogs that the test steers
// by posting messages, and the application object.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "debug_capture.h"
#include "dialog_app.h"
#include "dialog_base.h"
#include "resource.h"
#include "test_files.h"
#include "test_thread.h"

namespace {

// A dialog that records what the framework calls and runs the test's steps.
class ProbeDialog : public CDialogBase {
public:
    explicit ProbeDialog(UINT id, HWND parent = nullptr) : CDialogBase(id, parent) {}

    std::function<void(ProbeDialog&)> onInit;
    std::function<bool(ProbeDialog&, WORD)> onCommand;  // true when it handled the command
    std::vector<std::wstring> events;
    HWND tree = nullptr;

protected:
    void DoDataExchange() override
    {
        events.push_back(L"bind");
        tree = GetDlgItem(IDC_TREE);
    }
    BOOL OnInitDialog() override
    {
        CDialogBase::OnInitDialog();
        events.push_back(L"init");
        if (onInit) onInit(*this);
        return TRUE;
    }
    bool OnCommand(WORD wID, WORD wNotifyCode, HWND hWndCtl) override
    {
        // Focus notifications of the selection box are not what the tests look at.
        if (wNotifyCode == BN_CLICKED) events.push_back(L"command " + std::to_wstring(wID));
        if (onCommand && onCommand(*this, wID)) return true;
        return CDialogBase::OnCommand(wID, wNotifyCode, hWndCtl);
    }
    bool OnNotify(NMHDR* pNMHDR, LRESULT& lResult) override
    {
        if (pNMHDR->idFrom != IDC_TREE || pNMHDR->code != NM_CLICK) return false;
        lResult = 5;
        return true;
    }
    void OnTimer(UINT_PTR nIDEvent) override
    {
        events.push_back(L"timer " + std::to_wstring(nIDEvent));
        KillTimer(m_hWnd, nIDEvent);
        EndDialog(42);
    }
    bool OnSysCommand(UINT nID, LPARAM) override
    {
        events.push_back(L"syscommand " + std::to_wstring(nID & 0xFFF0));
        if ((nID & 0xFFF0) != IDM_ABOUTBOX) return false;
        EndDialog(16);
        return true;
    }
    HICON OnQueryDragIcon() override { return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)); }
    void OnDestroy() override { events.push_back(IsWindow(tree) ? L"destroy" : L"destroy without controls"); }
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override
    {
        if (uMsg == WM_APP) {
            events.push_back(L"app " + std::to_wstring(wParam) + L" " + std::to_wstring(lParam));
            EndDialog(lParam);
            return true;
        }
        if (uMsg == WM_APP + 1) {
            lResult = 7;
            return true;
        }
        if (uMsg == WM_APP + 2) throw std::runtime_error("handler failed");
        return false;
    }
};

class DialogFrameworkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
    }
};

TEST_F(DialogFrameworkTest, ModalDialogBindsInitialisesTicksAndIsDestroyed)
{
    ProbeDialog dialog(IDD_SELECTOR_CORVEX);
    wchar_t title[64] = L"";
    INT_PTR nested = 0;
    dialog.onInit = [&](ProbeDialog& d) {
        GetWindowTextW(d.GetSafeHwnd(), title, 64);
        nested = d.DoModal();  // refused while it runs
        SetTimer(d.GetSafeHwnd(), 9, 10, nullptr);
    };
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_STREQ(title, L"Zanvi Selector - Corvex");
    EXPECT_EQ(nested, -1);
    EXPECT_EQ(dialog.events, (std::vector<std::wstring>{L"bind", L"init", L"timer 9", L"destroy"}));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(IDC_TREE), nullptr);
}

// What ends a dialog: the Cancel button, Escape, Enter, the close box, or a handler's own end.
TEST_F(DialogFrameworkTest, CommandsKeysAndCloseBoxEndTheDialog)
{
    struct Case {
        const char* name;
        UINT msg;
        WPARAM wParam;
        bool toSelectionBox;  // a key pressed in the read-only box instead of a dialog message
        INT_PTR result;
    } cases[] = {
        {"Cancel button", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), false, IDCANCEL},
        {"OK command", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), false, IDOK},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, false, IDCANCEL},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, true, IDCANCEL},
        {"Enter (no default button)", WM_KEYDOWN, VK_RETURN, true, IDOK},
        {"Save button", WM_COMMAND, MAKEWPARAM(IDC_SAVE, BN_CLICKED), false, IDC_SAVE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeDialog dialog(IDD_SELECTOR_CORVEX);
        dialog.onInit = [&](ProbeDialog& d) {
            HWND target = c.toSelectionBox ? d.GetDlgItem(IDC_SELECTION) : d.GetSafeHwnd();
            if (c.toSelectionBox) SetFocus(target);
            PostMessageW(target, c.msg, c.wParam, 0);
        };
        dialog.onCommand = [](ProbeDialog& d, WORD id) {
            if (id != IDC_SAVE) return false;
            d.EndDialog(IDC_SAVE);
            return true;
        };
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.events.back(), L"destroy");
    }
}

TEST_F(DialogFrameworkTest, ButtonCommandCarriesIdAndNotification)
{
    ProbeDialog dialog(IDD_SELECTOR_BAY_STEWARD);
    dialog.onInit = [](ProbeDialog& d) {
        SendMessageW(d.GetDlgItem(IDC_VCI_MANAGER), BM_CLICK, 0, 0);
        d.EndDialog(0);
    };
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(dialog.events, (std::vector<std::wstring>{L"bind", L"init", L"command 109", L"destroy"}));
}

TEST_F(DialogFrameworkTest, AnswersReachTheSender)
{
    ProbeDialog dialog(IDD_SELECTOR_CORVEX);
    LRESULT click = -1, keyDown = -1, app = -1, dragIcon = 0;
    dialog.onInit = [&](ProbeDialog& d) {
        NMHDR header = {d.tree, IDC_TREE, static_cast<UINT>(NM_CLICK)};
        click = SendMessageW(d.GetSafeHwnd(), WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&header));
        header.code = static_cast<UINT>(TVN_KEYDOWN);
        keyDown = SendMessageW(d.GetSafeHwnd(), WM_NOTIFY, IDC_TREE, reinterpret_cast<LPARAM>(&header));
        app = SendMessageW(d.GetSafeHwnd(), WM_APP + 1, 0, 0);
        dragIcon = SendMessageW(d.GetSafeHwnd(), WM_QUERYDRAGICON, 0, 0);
        d.EndDialog(1);
    };
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(click, 5);
    EXPECT_EQ(keyDown, 0);  // unhandled
    EXPECT_EQ(app, 7);
    EXPECT_EQ(reinterpret_cast<HICON>(dragIcon), LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
}

TEST_F(DialogFrameworkTest, PostedMessagesReachTheirHandlers)
{
    struct Case {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        INT_PTR result;
        std::wstring event;
    } cases[] = {
        {WM_APP, IDC_TREE, 1234, 1234, L"app 108 1234"},
        {WM_SYSCOMMAND, IDM_ABOUTBOX, 0, 16, L"syscommand 16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        ProbeDialog dialog(IDD_SELECTOR_BAY_STEWARD);
        dialog.onInit = [&](ProbeDialog& d) { PostMessageW(d.GetSafeHwnd(), c.msg, c.wParam, c.lParam); };
        EXPECT_EQ(dialog.DoModal(), c.result);
        EXPECT_EQ(dialog.events, (std::vector<std::wstring>{L"bind", L"init", c.event, L"destroy"}));
    }
}

TEST_F(DialogFrameworkTest, AboutBoxRunsModallyOverItsOwner)
{
    ProbeDialog dialog(IDD_SELECTOR_BAY_STEWARD);
    HWND owner = nullptr, aboutOwner = nullptr;
    BOOL ownerEnabledDuringAbout = TRUE, ownerEnabledAfter = FALSE;
    INT_PTR aboutResult = 0;
    dialog.onInit = [](ProbeDialog& d) { PostMessageW(d.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), 0); };
    dialog.onCommand = [&](ProbeDialog& d, WORD id) {
        if (id != IDC_ABOUT) return false;
        owner = d.GetSafeHwnd();
        ProbeDialog about(IDD_ABOUTBOX, owner);
        about.onInit = [&](ProbeDialog& a) {
            aboutOwner = GetWindow(a.GetSafeHwnd(), GW_OWNER);
            ownerEnabledDuringAbout = IsWindowEnabled(owner);
            PostMessageW(a.GetDlgItem(IDOK), BM_CLICK, 0, 0);
        };
        aboutResult = about.DoModal();
        ownerEnabledAfter = IsWindowEnabled(owner);
        d.EndDialog(3);
        return true;
    };
    EXPECT_EQ(dialog.DoModal(), 3);
    EXPECT_EQ(aboutResult, IDOK);
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(aboutOwner, owner);
    EXPECT_FALSE(ownerEnabledDuringAbout);
    EXPECT_TRUE(ownerEnabledAfter);
}

TEST_F(DialogFrameworkTest, MissingTemplateGivesMinusOneWithoutCalls)
{
    ProbeDialog dialog(999);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(dialog.events.empty());
}

TEST_F(DialogFrameworkTest, HandlerExceptionEndsTheDialogWithMinusOne)
{
    DebugOutputCapture capture;
    ProbeDialog dialog(IDD_SELECTOR_CORVEX);
    dialog.onInit = [](ProbeDialog& d) { PostMessageW(d.GetSafeHwnd(), WM_APP + 2, 0, 0); };
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.events.back(), L"destroy");
    EXPECT_EQ(capture.Messages(),
              std::vector<std::wstring>{L"E:CDialogBase: dialog 102 ended by an exception in message 0x8002"});
}

// An application object whose steps the tests fill in.
class ProbeApp : public CDialogApp {
public:
    std::function<BOOL(ProbeApp&)> onInit;
    std::vector<int> exitCodes;

    BOOL InitInstance() override { return onInit(*this); }
    int ExitInstance(int nExitCode) override
    {
        exitCodes.push_back(nExitCode);
        return CDialogApp::ExitInstance(nExitCode) + 100;
    }
};

TEST(DialogAppTest, InitInstanceRunsTheProgramOnItsThreadAndEndsWithoutLoop)
{
    ProbeApp app;
    ASSERT_EQ(CDialogApp::GetApp(), &app);
    std::wstring cmdLine;
    int cmdShow = 0;
    HINSTANCE instance = nullptr;
    CDialogApp *onThread = nullptr, *onWorker = &app;
    HWND published = nullptr, dialogWindow = nullptr;
    app.onInit = [&](ProbeApp& a) {
        cmdLine = a.GetCmdLine();
        cmdShow = a.GetCmdShow();
        instance = a.GetInstanceHandle();
        onThread = CDialogApp::FromCurrentThread();
        TestThread([&] { onWorker = CDialogApp::FromCurrentThread(); }).Join();
        a.SetRegistryKey(L"Dravix");

        ProbeDialog dialog(IDD_SELECTOR_CORVEX);
        a.SetMainWnd(&dialog);
        dialog.onInit = [&](ProbeDialog& d) {
            // What the single-instance guard publishes while the dialog initialises.
            CDialogApp* current = CDialogApp::FromCurrentThread();
            published = current && current->GetMainWnd() ? current->GetMainWnd()->GetSafeHwnd() : nullptr;
            dialogWindow = d.GetSafeHwnd();
            d.EndDialog(0);
        };
        dialog.DoModal();
        a.SetMainWnd(nullptr);
        return FALSE;
    };
    HINSTANCE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(CDialogApp::RunApp(self, L"mode=2", SW_SHOWNORMAL), 100);
    EXPECT_EQ(cmdLine, L"mode=2");
    EXPECT_EQ(cmdShow, SW_SHOWNORMAL);
    EXPECT_EQ(instance, self);
    EXPECT_EQ(onThread, &app);
    EXPECT_EQ(onWorker, nullptr);
    EXPECT_NE(published, nullptr);
    EXPECT_EQ(published, dialogWindow);
    EXPECT_EQ(app.GetRegistryKey(), L"Dravix");
    EXPECT_EQ(app.exitCodes, std::vector<int>{0});
    EXPECT_EQ(CDialogApp::FromCurrentThread(), nullptr);  // the run is over
}

TEST(DialogAppTest, InitInstanceTrueRunsTheMessageLoopUntilQuit)
{
    ProbeApp app;
    app.onInit = [](ProbeApp&) {
        PostQuitMessage(9);
        return TRUE;
    };
    EXPECT_EQ(CDialogApp::RunApp(GetModuleHandleW(nullptr), nullptr, SW_SHOW), 109);
    EXPECT_EQ(app.exitCodes, std::vector<int>{9});
    EXPECT_STREQ(app.GetCmdLine(), L"");
}

TEST(DialogAppTest, ExceptionOrNoApplicationObjectGivesMinusOne)
{
    {
        DebugOutputCapture capture;
        ProbeApp app;
        app.onInit = [](ProbeApp&) -> BOOL { throw std::runtime_error("start-up failed"); };
        EXPECT_EQ(CDialogApp::RunApp(GetModuleHandleW(nullptr), L"", SW_SHOW), -1);
        EXPECT_TRUE(app.exitCodes.empty());
        EXPECT_EQ(capture.Messages(), std::vector<std::wstring>{L"E:CDialogApp: the program ended by an exception"});
        EXPECT_EQ(CDialogApp::FromCurrentThread(), nullptr);
    }
    EXPECT_EQ(CDialogApp::GetApp(), nullptr);
    EXPECT_EQ(CDialogApp::RunApp(GetModuleHandleW(nullptr), L"", SW_SHOW), -1);
}

TEST(DialogAppTest, CommandLineTailSkipsTheProgramName)
{
    struct { const wchar_t* line; const wchar_t* tail; } cases[] = {
        {L"ZanviSelector.exe mode=2", L"mode=2"},
        {L"\"C:\\Program Files\\Zanvi\\ZanviSelector.exe\"   mode=2&x=1 ", L"mode=2&x=1 "},
        {L"ZanviSelector.exe\tmode=2", L"mode=2"},
        {L"ZanviSelector.exe", L""},
        {L"\"C:\\a b\\ZanviSelector.exe\"", L""},
        {L"\"C:\\a b\\ZanviSelector.exe", L""},  // unclosed quote: all of it is the name
        {L"", L""},
        {nullptr, L""},
    };
    for (const auto& c : cases) EXPECT_STREQ(CommandLineTail(c.line), c.tail) << (c.line ? c.line : L"(null)");
}

// A program built with the framework's entry point: the probe writes the command line that
// its InitInstance received beside itself and ends with its ExitInstance code.
TEST(DialogAppTest, EntryPointHandsTheCommandLineToTheApplicationObject)
{
    TempDir temp;
    std::wstring folder = temp.File(L"with space");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CopyInto(TestDir() + L"\\dialog_app_probe.exe", folder));

    std::wstring command = L"\"" + folder + L"\\dialog_app_probe.exe\"  mode=2&x=1";
    ChildProcess probe(command);
    ASSERT_TRUE(probe.Started());
    EXPECT_EQ(probe.Wait(30000), 3u);
    EXPECT_EQ(ReadWholeFile(folder + L"\\dialog_app_probe.cmdline"), "mode=2&x=1");
}

}  // namespace
