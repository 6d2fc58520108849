// The Bay Steward host's registry preferences: the paths and names the selector needs there,
// and writing one text value into them.
#pragma once

#include <string>

class CHostPreferences {
public:
    CHostPreferences();

    void Init();
    void SetUpUser();
    // Creates the key under the user preferences when missing and writes text there as REG_SZ.
    bool SaveString(const std::wstring& keyName, const std::wstring& valueName,
                    const std::wstring& text);

    std::wstring m_strMachineBase;
    std::wstring m_strUsersPath;
    long m_nUserNumber;
    std::wstring m_strUserPreferences;
    std::wstring m_strSettingsKey;
    std::wstring m_strServiceInstanceValue;
};
