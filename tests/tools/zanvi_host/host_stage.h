// Stages the saved selection where the hosts keep it, the host INI file in the Windows folder
// and the host's registry preferences, and puts back what was there before.
#pragma once

#include <string>

class SavedSelectionStage {
public:
    SavedSelectionStage();
    ~SavedSelectionStage();
    SavedSelectionStage(const SavedSelectionStage&) = delete;
    SavedSelectionStage& operator=(const SavedSelectionStage&) = delete;

    std::wstring IniPath() const { return m_iniPath; }
    void WriteIni(const std::string& content) const;
    void RemoveIni() const;
    void WriteRegistry(const std::wstring& text) const;
    void RemoveRegistry() const;

private:
    std::wstring m_iniPath;
    bool m_iniExisted;
    std::string m_iniContent;
    bool m_rootKeyExisted;  // HKCU\Software\Dravix
    bool m_valueExisted;
    std::wstring m_value;
};
