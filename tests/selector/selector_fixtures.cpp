#include "selector_fixtures.h"

#include <atomic>
#include <cstring>

#include "acp_text.h"
#include "discovery.h"
#include "win32_sync.h"

namespace {

std::vector<RecordedMessageBox> g_boxes;

int RecordMessageBox(const wchar_t* text, const wchar_t* caption, UINT type)
{
    g_boxes.push_back({text ? text : L"", caption ? caption : L"", type});
    return IDOK;
}

std::map<int, std::wstring> g_folders;
std::vector<int> g_requests;

HRESULT FakeGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR path)
{
    g_requests.push_back(csidl);
    auto it = g_folders.find(csidl);
    if (it == g_folders.end()) {
        path[0] = L'\0';
        return E_FAIL;
    }
    lstrcpynW(path, it->second.c_str(), MAX_PATH);
    return S_OK;
}

HKEY CreateUnder(HKEY parent, const std::wstring& subKey, DWORD options = REG_OPTION_NON_VOLATILE)
{
    HKEY h = nullptr;
    RegCreateKeyExW(parent, subKey.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &h,
                    nullptr);
    return h;
}

bool KeyExists(HKEY parent, const std::wstring& subKey)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(parent, subKey.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

TestRegistryKey::TestRegistryKey()
{
    static std::atomic<unsigned> counter{0};
    m_subKey = L"Software\\ZanviTest\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(counter++);
    RegCloseKey(CreateUnder(HKEY_CURRENT_USER, m_subKey));
}

TestRegistryKey::~TestRegistryKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, m_subKey.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, m_subKey.c_str());
    // Fails while other tests still hold keys under it.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZanviTest");
}

RedirectedHostKeys::RedirectedHostKeys(bool machineWritable)
{
    m_hUser = CreateUnder(HKEY_CURRENT_USER, m_key.SubKey() + L"\\user");
    // Lasting keys cannot be created under a volatile one: a machine root that refuses the
    // host's keys, as for a user without the rights.
    m_hMachine = CreateUnder(HKEY_CURRENT_USER, m_key.SubKey() + L"\\machine",
                             machineWritable ? REG_OPTION_NON_VOLATILE : REG_OPTION_VOLATILE);
    RegOverridePredefKey(HKEY_CURRENT_USER, m_hUser);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_hMachine);
}

RedirectedHostKeys::~RedirectedHostKeys()
{
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(m_hMachine);
    RegCloseKey(m_hUser);
}

bool RedirectedHostKeys::UserValue(const std::wstring& subKey, const std::wstring& name,
                                   DWORD& type, std::vector<BYTE>& data) const
{
    DWORD cb = 0;
    if (RegGetValueW(m_hUser, subKey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &cb) != ERROR_SUCCESS)
        return false;
    data.assign(cb, 0);
    return RegGetValueW(m_hUser, subKey.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                        data.data(), &cb) == ERROR_SUCCESS;
}

bool RedirectedHostKeys::UserKeyExists(const std::wstring& subKey) const
{
    return KeyExists(m_hUser, subKey);
}

bool RedirectedHostKeys::MachineKeyExists(const std::wstring& subKey) const
{
    return KeyExists(m_hMachine, subKey);
}

bool RedirectedHostKeys::WriteUserString(const std::wstring& subKey, const std::wstring& name,
                                         const std::wstring& text) const
{
    HKEY h = CreateUnder(m_hUser, subKey);
    if (!h) return false;
    LONG result = RegSetValueExW(h, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return result == ERROR_SUCCESS;
}

MessageBoxRecorder::MessageBoxRecorder() : m_previous(g_pfnOwnerlessMessageBox)
{
    g_boxes.clear();
    g_pfnOwnerlessMessageBox = RecordMessageBox;
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    g_pfnOwnerlessMessageBox = m_previous;
}

const std::vector<RecordedMessageBox>& MessageBoxRecorder::Boxes() const
{
    return g_boxes;
}

ShellFoldersAt::ShellFoldersAt(const std::map<int, std::wstring>& folders)
    : m_previous(g_ShellFolderApi)
{
    g_folders = folders;
    g_requests.clear();
    g_ShellFolderApi.GetFolderPathW = FakeGetFolderPathW;
}

ShellFoldersAt::~ShellFoldersAt()
{
    g_ShellFolderApi = m_previous;
}

const std::vector<int>& ShellFoldersAt::Requests() const
{
    return g_requests;
}

void ResetDiscoveryState(const char* serviceType)
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    g_StopThreads = 0;
    g_QueryRef = nullptr;
    g_BrowseRef = nullptr;
    g_IdleTicks = 0;
    g_VciCount = 0;
    g_ShownCount = 0;
    g_PendingCount = 0;
    g_Waiting.clear();
    std::memset(g_VciNames, 0, sizeof(g_VciNames));
    std::memset(g_VciLinks, 0, sizeof(g_VciLinks));
    std::memset(g_ShownNames, 0, sizeof(g_ShownNames));
    std::memset(g_ShownLinks, 0, sizeof(g_ShownLinks));
    std::memset(g_PendingNames, 0, sizeof(g_PendingNames));
    CopyCut(g_szServiceType, serviceType);
}
