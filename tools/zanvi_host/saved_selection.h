// The VCI choice where the hosts keep it: the Corvex host's INI file and the Bay Steward
// host's registry preferences.
#pragma once

#include <string>

struct SavedSelection {
    bool found = false;
    std::wstring location;  // the INI file or the registry key that was read, empty if none
    std::wstring text;      // the stored service-instance text, when found
    std::wstring problem;   // why nothing was found
};

// The host INI file as the Corvex host finds it: "HXSystem.ini" in the Windows folder, else
// "QuellarDG.ini" in the host's all-users, then per-user application-data folder. Empty if none.
std::wstring FindHostIniFile();

// The "Device" entry of section "Zanvi" in the host INI file.
SavedSelection ReadIniSelection();

// The REG_SZ value "VCIServiceInstance" of the Bay Steward host's settings key.
SavedSelection ReadRegistrySelection();

// The "Device" entry of the given section of "HXSystem.ini" in the Windows folder, the one file
// the update plug-in reads; empty when there is none.
std::wstring ReadUpdateTargetDevice(const std::wstring& section);

extern const wchar_t kSelectionIniSection[];   // "Zanvi"
extern const wchar_t kSelectionIniKey[];       // "Device"
extern const wchar_t kSettingsKeyDisplay[];    // the settings key with its root, for messages
extern const wchar_t kServiceInstanceValue[];  // "VCIServiceInstance"
