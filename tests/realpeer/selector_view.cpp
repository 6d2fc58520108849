#include "selector_view.h"

#include <commctrl.h>

#include "remote_tree.h"
#include "test_files.h"

namespace {

const int kTreeId = 108;

}  // namespace

SelectorView::SelectorView(const std::wstring& title, DWORD waitMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < waitMs; Sleep(50)) {
        HWND hDlg = FindWindowW(L"#32770", title.c_str());
        if (hDlg && IsWindowVisible(hDlg)) {
            m_hTree = GetDlgItem(hDlg, kTreeId);
            return;
        }
    }
}

VciTree SelectorView::Read() const
{
    VciTree tree;
    if (!m_hTree) return tree;
    RemoteItemReader reader(m_hTree);
    if (!reader.Ready()) return tree;
    for (HTREEITEM hRoot = TreeView_GetRoot(m_hTree); hRoot; hRoot = TreeView_GetNextSibling(m_hTree, hRoot)) {
        std::vector<std::wstring>& links = tree[reader.Text(hRoot)];
        for (HTREEITEM h = TreeView_GetChild(m_hTree, hRoot); h; h = TreeView_GetNextSibling(m_hTree, h))
            links.push_back(reader.Text(h));
    }
    return tree;
}

bool SelectorView::WaitFor(const std::function<bool(const VciTree&)>& condition, DWORD waitMs) const
{
    for (DWORD start = GetTickCount();; Sleep(100)) {
        if (condition(Read())) return true;
        if (GetTickCount() - start > waitMs) return false;
    }
}

std::string Describe(const VciTree& tree)
{
    std::string text = "tree:";
    for (const auto& vci : tree) {
        text += " " + Narrow(vci.first) + " [";
        for (const std::wstring& link : vci.second) text += " " + Narrow(link);
        text += " ]";
    }
    return text;
}
