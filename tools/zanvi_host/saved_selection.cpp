#include "saved_selection.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

const wchar_t kSelectionIniSection[] = L"Zanvi";
const wchar_t kSelectionIniKey[] = L"Device";
const wchar_t kSettingsKeyDisplay[] = L"HKEY_CURRENT_USER\\Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const wchar_t kServiceInstanceValue[] = L"VCIServiceInstance";

namespace {

const wchar_t kSettingsKey[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const wchar_t kHostDataFolder[] = L"Quellar\\Corvex2\\Corvex";
const wchar_t kWindowsIniName[] = L"HXSystem.ini";
const wchar_t kDataIniName[] = L"QuellarDG.ini";

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { if (m_key) RegCloseKey(m_key); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    LONG Open(HKEY root, const wchar_t* path) { return RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &m_key); }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return std::wstring();
    return path;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\') return folder + name;
    return folder + L"\\" + name;
}

bool IsFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// An INI entry of any length; empty when the file, section or key is missing or the value empty.
std::wstring ReadIniEntry(const wchar_t* section, const wchar_t* key, const wchar_t* file)
{
    for (DWORD size = 512;; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        DWORD n = GetPrivateProfileStringW(section, key, L"", buffer.data(), size, file);
        if (n + 1 < size || size >= 32768) return std::wstring(buffer.data(), n);
    }
}

}  // namespace

std::wstring FindHostIniFile()
{
    std::wstring windows = ShellFolder(CSIDL_WINDOWS);
    if (!windows.empty() && IsFile(JoinPath(windows, kWindowsIniName))) return JoinPath(windows, kWindowsIniName);
    for (int csidl : {CSIDL_COMMON_APPDATA, CSIDL_APPDATA}) {
        std::wstring folder = ShellFolder(csidl);
        if (folder.empty()) continue;  // the shell could not name it: nothing to look in
        std::wstring file = JoinPath(JoinPath(folder, kHostDataFolder), kDataIniName);
        if (IsFile(file)) return file;
    }
    return std::wstring();
}

SavedSelection ReadIniSelection()
{
    SavedSelection selection;
    selection.location = FindHostIniFile();
    if (selection.location.empty()) {
        selection.problem = L"no host INI file (HXSystem.ini in the Windows folder, or QuellarDG.ini under "
                            L"Quellar\\Corvex2\\Corvex in the all-users or the user's application data)";
        return selection;
    }
    selection.text = ReadIniEntry(kSelectionIniSection, kSelectionIniKey, selection.location.c_str());
    selection.found = !selection.text.empty();
    if (!selection.found) selection.problem = L"no Device entry in section [Zanvi]";
    return selection;
}

SavedSelection ReadRegistrySelection()
{
    SavedSelection selection;
    selection.location = kSettingsKeyDisplay;
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, kSettingsKey) != ERROR_SUCCESS) {
        selection.problem = L"the settings key does not exist";
        return selection;
    }
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.Get(), kServiceInstanceValue, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) {
        selection.problem = L"no VCIServiceInstance value";
        return selection;
    }
    if (type != REG_SZ) {
        selection.problem = L"the VCIServiceInstance value is not a REG_SZ text";
        return selection;
    }
    // One character more than the value holds, so that a value stored without its null ends too.
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = bytes;
    if (RegQueryValueExW(key.Get(), kServiceInstanceValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS) {
        selection.problem = L"the VCIServiceInstance value cannot be read";
        return selection;
    }
    selection.text = buffer.data();
    selection.found = !selection.text.empty();
    if (!selection.found) selection.problem = L"the VCIServiceInstance value is empty";
    return selection;
}

std::wstring ReadUpdateTargetDevice(const std::wstring& section)
{
    std::wstring windows = ShellFolder(CSIDL_WINDOWS);
    if (windows.empty()) return std::wstring();
    std::wstring file = JoinPath(windows, kWindowsIniName);
    return ReadIniEntry(section.c_str(), kSelectionIniKey, file.c_str());
}
