#include "host_stage.h"

#include <windows.h>

#include <vector>

#include "test_files.h"

namespace {

const wchar_t kRootKey[] = L"Software\\Dravix";
const wchar_t kSettingsKey[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const wchar_t kValue[] = L"VCIServiceInstance";

bool KeyExists(const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadValue(std::wstring& text)
{
    wchar_t buffer[1024] = L"";
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kValue, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

}  // namespace

SavedSelectionStage::SavedSelectionStage()
{
    wchar_t windows[MAX_PATH] = L"";
    GetWindowsDirectoryW(windows, MAX_PATH);
    m_iniPath = std::wstring(windows) + L"\\HXSystem.ini";
    DWORD attributes = GetFileAttributesW(m_iniPath.c_str());
    m_iniExisted = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (m_iniExisted) m_iniContent = ReadWholeFile(m_iniPath);
    m_rootKeyExisted = KeyExists(kRootKey);
    m_valueExisted = ReadValue(m_value);
}

SavedSelectionStage::~SavedSelectionStage()
{
    if (m_iniExisted) WriteIni(m_iniContent);
    else RemoveIni();
    if (m_valueExisted) {
        WriteRegistry(m_value);
    } else if (m_rootKeyExisted) {
        RemoveRegistry();
    } else {
        RegDeleteTreeW(HKEY_CURRENT_USER, kRootKey);  // the tree this stage created
    }
}

void SavedSelectionStage::WriteIni(const std::string& content) const
{
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_iniPath.c_str());  // drop any cached copy
    WriteWholeFile(m_iniPath, content);
}

void SavedSelectionStage::RemoveIni() const
{
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_iniPath.c_str());
    DeleteFileW(m_iniPath.c_str());
}

void SavedSelectionStage::WriteRegistry(const std::wstring& text) const
{
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kValue, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SavedSelectionStage::RemoveRegistry() const { RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, kValue); }
