// A scripted user of a running ZanviSelector: finds its dialog by title, waits until the tree
// lists a VCI's link, picks that link as a user would (select it, press the space bar) and then
// presses Save or Cancel, or nothing.
//
//     scripted_user "<dialog title>" <VCI name> <USB|WiFi|Ethernet> [save|cancel|none] [seconds]
//
// Prints "picked: <VCI> <link>" and "rect: <left> <top> <width> <height>" (the dialog's place
// on the screen, e.g. for a screenshot), then the button it pressed; with save or cancel it
// waits until the dialog has gone. Waits at most [seconds] (default 30) for each step.
// Exit code 0 when every step happened, 1 with a message on stderr when one did not.
// The tool must have the selector's pointer size: the tree's item records are read in place.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>

#include "remote_tree.h"

namespace {

const int kTreeId = 108;
const int kSaveId = 107;
const int kSelectionBoxId = 114;
const int kTextChars = 260;

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount();; Sleep(50)) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
    }
}

HTREEITEM FindLink(HWND hTree, const RemoteItemReader& reader, const std::wstring& vci,
                   const std::wstring& link)
{
    for (HTREEITEM hRoot = TreeView_GetRoot(hTree); hRoot; hRoot = TreeView_GetNextSibling(hTree, hRoot)) {
        if (reader.Text(hRoot) != vci) continue;
        for (HTREEITEM h = TreeView_GetChild(hTree, hRoot); h; h = TreeView_GetNextSibling(hTree, h))
            if (reader.Text(h) == link) return h;
    }
    return nullptr;
}

std::wstring BoxText(HWND hDlg)
{
    wchar_t text[kTextChars] = {};
    GetDlgItemTextW(hDlg, kSelectionBoxId, text, kTextChars);
    return text;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "scripted_user: %s\n", what);
    return 1;
}

int Run(int argc, wchar_t** argv)
{
    if (argc < 4 || argc > 6)
        return Fail("usage: scripted_user \"<dialog title>\" <VCI> <USB|WiFi|Ethernet> "
                    "[save|cancel|none] [seconds]");
    const std::wstring title = argv[1], vci = argv[2], link = argv[3];
    const std::wstring action = argc > 4 ? argv[4] : L"none";
    const DWORD timeoutMs = (argc > 5 ? static_cast<DWORD>(_wtoi(argv[5])) : 30) * 1000;
    if (action != L"save" && action != L"cancel" && action != L"none")
        return Fail("the action must be save, cancel or none");

    // The dialog is shown once its controls exist.
    HWND hDlg = nullptr;
    if (!WaitFor([&] {
            hDlg = FindWindowW(L"#32770", title.c_str());
            return hDlg && IsWindowVisible(hDlg);
        }, timeoutMs))
        return Fail("no dialog with that title");
    HWND hTree = GetDlgItem(hDlg, kTreeId);
    RemoteItemReader reader(hTree);
    if (!hTree || !reader.Ready()) return Fail("cannot read the dialog's tree");

    HTREEITEM hLink = nullptr;
    if (!WaitFor([&] { return (hLink = FindLink(hTree, reader, vci, link)) != nullptr; }, timeoutMs))
        return Fail("the tree does not list that VCI link");

    SendMessageW(hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hLink));
    PostMessageW(hTree, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(hTree, WM_KEYUP, VK_SPACE, 0xC0390001);
    const std::wstring shown = vci + L" " + link;
    if (!WaitFor([&] { return BoxText(hDlg) == shown; }, timeoutMs))
        return Fail("the selection box does not show the picked link");
    std::printf("picked: %ls\n", shown.c_str());

    RECT rc = {};
    GetWindowRect(hDlg, &rc);
    std::printf("rect: %ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    std::fflush(stdout);
    if (action == L"none") return 0;

    if (action == L"save") {
        HWND hSave = GetDlgItem(hDlg, kSaveId);
        if (!IsWindowEnabled(hSave)) return Fail("Save is disabled");
        PostMessageW(hSave, BM_CLICK, 0, 0);
    } else {
        PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    std::printf("pressed: %ls\n", action.c_str());
    std::fflush(stdout);
    if (!WaitFor([&] { return !IsWindow(hDlg); }, timeoutMs)) return Fail("the dialog did not close");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    return Run(argc, argv);
}
