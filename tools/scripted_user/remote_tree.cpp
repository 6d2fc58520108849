#include "remote_tree.h"

RemoteItemReader::RemoteItemReader(HWND hTree) : m_hTree(hTree)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(hTree, &processId);
    m_hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                             processId);
    if (m_hProcess)
        m_pRemote = static_cast<BYTE*>(VirtualAllocEx(m_hProcess, nullptr, kBytes,
                                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

RemoteItemReader::~RemoteItemReader()
{
    if (m_pRemote) VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
    if (m_hProcess) CloseHandle(m_hProcess);
}

std::wstring RemoteItemReader::Text(HTREEITEM hItem) const
{
    TVITEMW item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = reinterpret_cast<wchar_t*>(m_pRemote + sizeof(TVITEMW));
    item.cchTextMax = kTextChars;
    wchar_t text[kTextChars] = {};
    if (!WriteProcessMemory(m_hProcess, m_pRemote, &item, sizeof(item), nullptr) ||
        !SendMessageW(m_hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_pRemote)) ||
        !ReadProcessMemory(m_hProcess, m_pRemote + sizeof(TVITEMW), text,
                           sizeof(text) - sizeof(wchar_t), nullptr))
        return std::wstring();
    std::wstring result = text;
    std::size_t first = result.find_first_not_of(L' ');
    std::size_t last = result.find_last_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : result.substr(first, last - first + 1);
}

HTREEITEM FindRoot(HWND hTree, const RemoteItemReader& reader, const std::wstring& name)
{
    for (HTREEITEM hRoot = TreeView_GetRoot(hTree); hRoot; hRoot = TreeView_GetNextSibling(hTree, hRoot))
        if (reader.Text(hRoot) == name) return hRoot;
    return nullptr;
}
