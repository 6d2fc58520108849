// The selector's dialog as a user sees it from outside: its tree of VCIs and their links.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// VCI name -> the links listed under it, in the tree's order.
using VciTree = std::map<std::wstring, std::vector<std::wstring>>;

class SelectorView {
public:
    // Waits up to waitMs for the visible dialog with this title.
    SelectorView(const std::wstring& title, DWORD waitMs);
    bool Found() const { return m_hTree != nullptr; }
    VciTree Read() const;
    // True once condition holds for the tree (read every 100 ms), false after waitMs.
    bool WaitFor(const std::function<bool(const VciTree&)>& condition, DWORD waitMs) const;

private:
    HWND m_hTree = nullptr;
};

// The tree printed for a failure message.
std::string Describe(const VciTree& tree);
