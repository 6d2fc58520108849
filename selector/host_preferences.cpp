#include "host_preferences.h"

#include <windows.h>

#include "registry.h"

CHostPreferences::CHostPreferences() : m_nUserNumber(0) {}

void CHostPreferences::Init()
{
    m_strMachineBase = L"HKEY_LOCAL_MACHINE\\Software\\Dravix\\Lumadesk\\";
    SetUpUser();
    m_strSettingsKey = L"Settings";
    m_strServiceInstanceValue = L"VCIServiceInstance";
}

void CHostPreferences::SetUpUser()
{
    m_nUserNumber = 0;
    m_strUserPreferences = L"HKEY_CURRENT_USER\\Software\\Dravix\\Lumadesk\\User Preferences\\";
    m_strUsersPath = m_strMachineBase + L"Users\\";

    // The host expects its user key to exist; a user who may not write to the machine's keys
    // still gets a working selector, so a failure here is ignored.
    CRegistry userKey;
    DWORD disposition = 0;
    userKey.Create(m_strUsersPath + std::to_wstring(m_nUserNumber), &disposition);
}

bool CHostPreferences::SaveString(const std::wstring& keyName, const std::wstring& valueName,
                                  const std::wstring& text)
{
    CRegistry key;
    DWORD disposition = 0;
    if (!key.Create(m_strUserPreferences + keyName, &disposition)) return false;
    return key.WriteString(valueName, text);
}
