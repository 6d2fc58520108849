// A user at the selector's window, played from another process: finds the dialog by its title,
// picks a link of a VCI in the tree with the keyboard and presses Save.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class SelectorUser {
public:
    // Waits up to timeoutMs for a top-level dialog with this title.
    bool WaitForWindow(const std::wstring& title, DWORD timeoutMs);
    // Waits up to timeoutMs until the tree lists the VCI with the link (" USB", " WiFi",
    // " Ethernet", matched without the blanks) and, for a few seconds at most, until every VCI
    // shows its links (a later redraw would clear the pick's check mark); then selects the link
    // and presses the space bar. True once the selection box shows "<vci> <link>".
    bool Pick(const std::wstring& vci, const std::wstring& link, DWORD timeoutMs);
    // Clicks Save.
    bool Save();
    // The selection box's text.
    std::wstring Selection() const;
    HWND Window() const { return m_hDlg; }

private:
    HTREEITEM FindItem(const std::wstring& vci, const std::wstring& link) const;
    HTREEITEM Next(HTREEITEM item, WPARAM relation) const;
    bool EveryVciHasLinks() const;
    std::wstring ItemText(HTREEITEM item) const;

    HWND m_hDlg = nullptr;
    HWND m_hTree = nullptr;
};
