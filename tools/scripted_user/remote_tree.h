// Reads the tree control of another process as a user sees it: item texts are fetched through
// a record and a buffer placed in that process. The reader must have the tree's pointer size:
// the item records are read in place.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class RemoteItemReader {
public:
    explicit RemoteItemReader(HWND hTree);
    ~RemoteItemReader();
    RemoteItemReader(const RemoteItemReader&) = delete;
    RemoteItemReader& operator=(const RemoteItemReader&) = delete;

    bool Ready() const { return m_pRemote != nullptr; }

    // The item's text without leading and trailing blanks; empty when it cannot be read.
    std::wstring Text(HTREEITEM hItem) const;

private:
    static const int kTextChars = 260;
    static const SIZE_T kBytes = sizeof(TVITEMW) + kTextChars * sizeof(wchar_t);
    HWND m_hTree;
    HANDLE m_hProcess = nullptr;
    BYTE* m_pRemote = nullptr;
};

// The root item whose text is name, or null.
HTREEITEM FindRoot(HWND hTree, const RemoteItemReader& reader, const std::wstring& name);
