#include "dialog_driver.h"

#include <cstring>
#include <cwctype>

#include <gtest/gtest.h>

#include "discovery.h"
#include "dnssd_steering.h"
#include "resource.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "test_thread.h"

namespace {

template <typename Fn>
Fn Bound(HMODULE hModule, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(hModule, name)));
}

}  // namespace

SimulatedNetwork::SimulatedNetwork() : m_hSim(LoadLibraryW((TestDir() + L"\\dnssd.dll").c_str()))
{
    ResetDiscoveryState("");
    auto reset = Bound<PFN_ZanviDnssdReset>(m_hSim, "ZanviDnssdReset");
    if (reset) reset();
}

SimulatedNetwork::~SimulatedNetwork()
{
    auto reset = Bound<PFN_ZanviDnssdReset>(m_hSim, "ZanviDnssdReset");
    if (reset) reset();
    if (m_hSim) FreeLibrary(m_hSim);
    ResetDiscoveryState("");
}

void SimulatedNetwork::Announce(const char* serviceType, const std::vector<SimulatedVci>& vcis)
{
    auto add = Bound<PFN_ZanviDnssdAddInstance>(m_hSim, "ZanviDnssdAddInstance");
    auto setTxt = Bound<PFN_ZanviDnssdSetTxt>(m_hSim, "ZanviDnssdSetTxt");
    ASSERT_TRUE(add && setTxt);
    for (const SimulatedVci& vci : vcis) {
        std::string txt;
        for (const char* entry : {vci.usb ? "usb=true" : "usb=false",
                                  vci.wifi ? "wifi=true" : "wifi=false",
                                  vci.eth ? "eth=true" : "eth=false"}) {
            txt += static_cast<char>(std::strlen(entry));
            txt += entry;
        }
        ASSERT_EQ(add(vci.name, serviceType, nullptr, 1, nullptr, 6800, "169.254.10.1"), 0);
        ASSERT_EQ(setTxt(vci.name, serviceType, nullptr, txt.data(),
                         static_cast<uint16_t>(txt.size())), 0);
    }
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

INT_PTR RunDialog(CZanviSelectorDlg& dlg, const std::function<void(HWND)>& driver)
{
    TestThread steer([&dlg, &driver] {
        HWND hDlg = nullptr;
        WaitFor([&] { return (hDlg = dlg.GetSafeHwnd()) != nullptr && IsWindowVisible(hDlg); });
        if (!hDlg) return;
        driver(hDlg);
        if (IsWindow(hDlg)) PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    INT_PTR result = dlg.DoModal();
    steer.Join();
    return result;
}

namespace {

std::wstring ItemText(HWND hTree, HTREEITEM hItem)
{
    wchar_t text[260] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_STATE;
    item.stateMask = TVIS_STATEIMAGEMASK;
    item.hItem = hItem;
    item.pszText = text;
    item.cchTextMax = 260;
    SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return text;
}

UINT StateImage(HWND hTree, HTREEITEM hItem)
{
    return static_cast<UINT>(SendMessageW(hTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem),
                                          TVIS_STATEIMAGEMASK)) >> 12;
}

std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = text.find_first_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

}  // namespace

std::vector<std::wstring> TreeLines(HWND hTree)
{
    std::vector<std::wstring> lines;
    for (HTREEITEM h = TreeView_GetRoot(hTree); h; h = TreeView_GetNextVisible(hTree, h)) {
        std::wstring text = ItemText(hTree, h);
        if (!TreeView_GetParent(hTree, h)) {
            lines.push_back(text + (StateImage(hTree, h) ? L" [box]" : L""));
        } else {
            UINT state = StateImage(hTree, h);
            lines.push_back(L" " + text + (state == 2 ? L" [x]" : state == 1 ? L" [ ]" : L" [?]"));
        }
    }
    return lines;
}

HTREEITEM FindItem(HWND hTree, const std::wstring& vci, const std::wstring& link)
{
    for (HTREEITEM hRoot = TreeView_GetRoot(hTree); hRoot;
         hRoot = TreeView_GetNextSibling(hTree, hRoot)) {
        if (ItemText(hTree, hRoot) != vci) continue;
        if (link.empty()) return hRoot;
        for (HTREEITEM h = TreeView_GetChild(hTree, hRoot); h; h = TreeView_GetNextSibling(hTree, h))
            if (Trimmed(ItemText(hTree, h)) == link) return h;
    }
    return nullptr;
}

void ClickItem(HWND hTree, HTREEITEM hItem, bool onCheckBox)
{
    RECT rc = {};
    TreeView_GetItemRect(hTree, hItem, &rc, TRUE);
    POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    if (onCheckBox) {
        // The check box lies left of the label: find it by hit-testing.
        for (LONG x = rc.left - 1; x >= 0; --x) {
            TVHITTESTINFO hit = {};
            hit.pt = {x, pt.y};
            SendMessageW(hTree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.flags & TVHT_ONITEMSTATEICON) {
                pt.x = x;
                break;
            }
        }
    }
    POINT screen = pt;
    ClientToScreen(hTree, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(hTree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    PostMessageW(hTree, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Settle();
}

void PressSpaceOn(HWND hTree, HTREEITEM hItem)
{
    SendMessageW(hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hItem));
    PostMessageW(hTree, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(hTree, WM_KEYUP, VK_SPACE, 0xC0390001);
    Settle();
}

void ClickButton(HWND hDlg, int nId)
{
    PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nId)));
}

void Tick(HWND hDlg)
{
    SendMessageW(hDlg, WM_TIMER, 0, 0);
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t text[260] = {};
    GetWindowTextW(hWnd, text, 260);
    return text;
}

void Settle()
{
    Sleep(400);
}

BroadcastCounter::BroadcastCounter()
    : m_uSave(RegisterWindowMessageW(L"com.quellar.zanviselector.save")),
      m_uCancel(RegisterWindowMessageW(L"com.quellar.zanviselector.cancel"))
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZanviBroadcastCounter";
    RegisterClassW(&wc);
    m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             wc.hInstance, this);
}

BroadcastCounter::~BroadcastCounter()
{
    DestroyWindow(m_hWnd);
}

LRESULT CALLBACK BroadcastCounter::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_NCCREATE)
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                   reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<BroadcastCounter*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self && uMsg == self->m_uSave) ++self->m_nSaves;
    if (self && uMsg == self->m_uCancel) ++self->m_nCancels;
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

void BroadcastCounter::Pump()
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
}

int BroadcastCounter::Saves()
{
    Pump();
    return m_nSaves;
}

int BroadcastCounter::Cancels()
{
    Pump();
    return m_nCancels;
}
