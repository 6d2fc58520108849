// The selection dialog's tree: one root item per listed VCI with a check box per link, and
// picking one link as the choice.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <cwctype>
#include <string>

#include "acp_text.h"
#include "discovery.h"
#include "resource.h"
#include "zanvi_selector_dlg.h"

namespace {

// State images of the tree: 0 none, 1 unchecked box, 2 checked box.
const UINT kNoBox = 0;
const UINT kUnchecked = 1;
const UINT kChecked = 2;

struct LinkItem {
    int VciLinks::*pFlag;
    const wchar_t* szText;
};

// In the order they are listed; the index is the link number (0 USB, 1 WiFi, 2 Ethernet).
const LinkItem kLinkItems[] = {
    {&VciLinks::usb, L" USB"},
    {&VciLinks::wifi, L" WiFi"},
    {&VciLinks::eth, L" Ethernet"},
};

UINT StateImage(HWND hTree, HTREEITEM hItem)
{
    return (TreeView_GetItemState(hTree, hItem, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12;
}

void SetStateImage(HWND hTree, HTREEITEM hItem, UINT nImage)
{
    TreeView_SetItemState(hTree, hItem, INDEXTOSTATEIMAGEMASK(nImage), TVIS_STATEIMAGEMASK);
}

HTREEITEM AppendItem(HWND hTree, HTREEITEM hParent, const std::wstring& text)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(hTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::wstring ItemText(HWND hTree, HTREEITEM hItem)
{
    wchar_t szText[260] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = szText;
    item.cchTextMax = 260;
    if (!hItem || !SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return std::wstring();
    return szText;
}

std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Every item of the tree, VCIs and their links, collapsed or not.
template <typename Fn>
void ForEachItem(HWND hTree, Fn fn)
{
    for (HTREEITEM hRoot = TreeView_GetRoot(hTree); hRoot; hRoot = TreeView_GetNextSibling(hTree, hRoot)) {
        fn(hRoot);
        for (HTREEITEM hChild = TreeView_GetChild(hTree, hRoot); hChild;
             hChild = TreeView_GetNextSibling(hTree, hChild))
            fn(hChild);
    }
}

// True when hItem is one of the tree's items: the pick message carries an item handle that
// any process could post, and the tree must never be handed one it does not own.
bool IsTreeItem(HWND hTree, HTREEITEM hItem)
{
    bool found = false;
    ForEachItem(hTree, [&](HTREEITEM h) { found = found || h == hItem; });
    return found;
}

}  // namespace

void CZanviSelectorDlg::RebuildTree()
{
    // Drawn once when complete: a tree that redraws per inserted or expanded item keeps the
    // window from answering for a quarter of a second with 20 VCIs listed.
    SendMessageW(m_tree, WM_SETREDRAW, FALSE, 0);
    TreeView_DeleteAllItems(m_tree);
    HTREEITEM hChoice = nullptr;
    for (unsigned int i = 0; i < g_ShownCount && i < MAX_VCIS; ++i) {
        std::wstring name = WidenAcp(std::string(g_ShownNames[i], strnlen(g_ShownNames[i], 100)));
        HTREEITEM hVci = AppendItem(m_tree, TVI_ROOT, name);
        SetStateImage(m_tree, hVci, kNoBox);
        for (int nLink = 0; nLink < 3; ++nLink) {
            if (g_ShownLinks[i].*kLinkItems[nLink].pFlag != 1) continue;
            HTREEITEM hLink = AppendItem(m_tree, hVci, kLinkItems[nLink].szText);
            SetStateImage(m_tree, hLink, kUnchecked);
            if (_wcsicmp(name.c_str(), m_wszSelName) == 0 && nLink == m_nSelLink) hChoice = hLink;
        }
    }
    for (HTREEITEM h = TreeView_GetRoot(m_tree); h; h = TreeView_GetNextVisible(m_tree, h))
        TreeView_Expand(m_tree, h, TVE_EXPAND);
    if (hChoice) SetStateImage(m_tree, hChoice, kChecked);
    SendMessageW(m_tree, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(m_tree, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

LRESULT CZanviSelectorDlg::OnTreeClick()
{
    DWORD dwPos = GetMessagePos();
    TVHITTESTINFO hit = {};
    hit.pt.x = GET_X_LPARAM(dwPos);
    hit.pt.y = GET_Y_LPARAM(dwPos);
    ScreenToClient(m_tree, &hit.pt);
    HTREEITEM hItem = TreeView_HitTest(m_tree, &hit);
    if (!hItem) return 0;
    bool bPick = (hit.flags & TVHT_ONITEMSTATEICON) != 0 ||
                 (StateImage(m_tree, hItem) != kNoBox && (hit.flags & TVHT_ONITEM) != 0);
    // Posted, so that the tree's own toggling of the box comes first.
    if (bPick) PostMessageW(m_hWnd, kPickItemMessage, IDC_TREE, reinterpret_cast<LPARAM>(hItem));
    return 0;
}

LRESULT CZanviSelectorDlg::OnTreeKeyDown(const NMTVKEYDOWN& keyDown)
{
    if (keyDown.wVKey == VK_SPACE)
        PostMessageW(m_hWnd, kPickItemMessage, IDC_TREE,
                     reinterpret_cast<LPARAM>(TreeView_GetSelection(m_tree)));
    return 0;
}

LRESULT CZanviSelectorDlg::OnPickItem(WPARAM, LPARAM lParam)
{
    HTREEITEM hItem = reinterpret_cast<HTREEITEM>(lParam);
    // A VCI's own item (the space bar on it) has no box and names no link: no choice.
    if (!hItem || !IsTreeItem(m_tree, hItem) || StateImage(m_tree, hItem) == kNoBox) return 0;

    // Collapsed links too: at most one box is ever checked.
    ForEachItem(m_tree, [this](HTREEITEM h) {
        if (StateImage(m_tree, h) == kChecked) SetStateImage(m_tree, h, kUnchecked);
    });
    SetStateImage(m_tree, hItem, kChecked);
    TreeView_SelectItem(m_tree, hItem);

    std::wstring vci = Trimmed(ItemText(m_tree, TreeView_GetParent(m_tree, hItem)));
    SetSelectionBoxText(vci + L" " + Trimmed(ItemText(m_tree, hItem)));
    return 0;
}
