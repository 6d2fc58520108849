#include "selector_user.h"


#include <memory>

namespace {

// Control ids of the selection dialog.
constexpr int kSaveButton = 107;
constexpr int kTree = 108;
constexpr int kSelectionBox = 114;
constexpr DWORD kPollMs = 100;
constexpr DWORD kRepressMs = 1500;
constexpr DWORD kCompleteTreeWaitMs = 5000;
// Key messages' lParam for the space bar: repeat count 1, scan code 0x39; released.
constexpr LPARAM kSpaceDown = 0x00390001;
constexpr LPARAM kSpaceUp = static_cast<LPARAM>(0xC0390001u);
constexpr DWORD kItemTextChars = 256;

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

struct ProcessCloser {
    void operator()(HANDLE process) const { CloseHandle(process); }
};

// Memory inside the dialog's process: a tree item record and its text buffer must lie there for
// the tree control to fill them.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, SIZE_T size) : m_size(size)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        m_process.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
        if (m_process)
            m_address = VirtualAllocEx(m_process.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (m_address) VirtualFreeEx(m_process.get(), m_address, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address() const { return static_cast<char*>(m_address); }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const
    {
        return m_address && offset + size <= m_size &&
               WriteProcessMemory(m_process.get(), Address() + offset, data, size, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const
    {
        return m_address && offset + size <= m_size &&
               ReadProcessMemory(m_process.get(), Address() + offset, data, size, nullptr);
    }

private:
    std::unique_ptr<void, ProcessCloser> m_process;
    void* m_address = nullptr;
    SIZE_T m_size;
};

}  // namespace

bool SelectorUser::WaitForWindow(const std::wstring& title, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        m_hDlg = FindWindowW(L"#32770", title.c_str());
        if (m_hDlg && IsWindowVisible(m_hDlg)) {
            m_hTree = GetDlgItem(m_hDlg, kTree);
            return m_hTree != nullptr;
        }
        Sleep(kPollMs);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}

std::wstring SelectorUser::ItemText(HTREEITEM item) const
{
    const SIZE_T textOffset = sizeof(TVITEMW);
    RemoteBuffer remote(m_hTree, textOffset + kItemTextChars * sizeof(wchar_t));
    TVITEMW record = {};
    record.mask = TVIF_TEXT | TVIF_HANDLE;
    record.hItem = item;
    record.pszText = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
    record.cchTextMax = kItemTextChars;
    const wchar_t empty = L'\0';
    if (!remote.Write(0, &record, sizeof(record)) || !remote.Write(textOffset, &empty, sizeof(empty)))
        return std::wstring();
    if (!SendMessageW(m_hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()))) return std::wstring();
    wchar_t text[kItemTextChars] = L"";
    if (!remote.Read(textOffset, text, sizeof(text))) return std::wstring();
    text[kItemTextChars - 1] = L'\0';
    return text;
}

HTREEITEM SelectorUser::Next(HTREEITEM item, WPARAM relation) const
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(m_hTree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM SelectorUser::FindItem(const std::wstring& vci, const std::wstring& link) const
{
    for (HTREEITEM root = Next(nullptr, TVGN_ROOT); root; root = Next(root, TVGN_NEXT)) {
        if (Trimmed(ItemText(root)) != vci) continue;
        for (HTREEITEM child = Next(root, TVGN_CHILD); child; child = Next(child, TVGN_NEXT))
            if (Trimmed(ItemText(child)) == link) return child;
    }
    return nullptr;
}

bool SelectorUser::EveryVciHasLinks() const
{
    for (HTREEITEM root = Next(nullptr, TVGN_ROOT); root; root = Next(root, TVGN_NEXT))
        if (!Next(root, TVGN_CHILD)) return false;
    return true;
}

std::wstring SelectorUser::Selection() const
{
    wchar_t text[kItemTextChars] = L"";
    GetDlgItemTextW(m_hDlg, kSelectionBox, text, kItemTextChars);
    return text;
}

bool SelectorUser::Pick(const std::wstring& vci, const std::wstring& link, DWORD timeoutMs)
{
    const std::wstring wanted = vci + L" " + link;
    const DWORD start = GetTickCount();
    DWORD lastPress = 0;
    bool pressed = false;
    do {
        if (Selection() == wanted) return true;
        // Again after a while: the tree may have been rebuilt between selecting and pressing.
        if (!pressed || GetTickCount() - lastPress >= kRepressMs) {
            HTREEITEM item = FindItem(vci, link);
            if (item && (EveryVciHasLinks() || GetTickCount() - start >= kCompleteTreeWaitMs)) {
                SendMessageW(m_hTree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
                PostMessageW(m_hTree, WM_KEYDOWN, VK_SPACE, kSpaceDown);
                PostMessageW(m_hTree, WM_KEYUP, VK_SPACE, kSpaceUp);
                pressed = true;
                lastPress = GetTickCount();
            }
        }
        Sleep(kPollMs);
    } while (GetTickCount() - start < timeoutMs);
    return Selection() == wanted;
}

bool SelectorUser::Save()
{
    HWND button = GetDlgItem(m_hDlg, kSaveButton);
    return button && IsWindowEnabled(button) &&
           PostMessageW(m_hDlg, WM_COMMAND, MAKEWPARAM(kSaveButton, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}
