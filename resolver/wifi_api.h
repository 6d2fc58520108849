// Joins the VCI's open ad-hoc network: writes its profile, registers it on the dongle, connects.
#pragma once

#include <windows.h>
#include <wlanapi.h>

#include <string>

#include "network_adapters.h"

constexpr std::size_t kSsidHexChars = 199;  // room of the hex text, terminator not counted
constexpr DWORD kMaxSsidBytes = 32;

class CWifiApi {
public:
    // True when the profile file was written, whether or not the platform took the profile.
    bool addAdHocProfile(const std::wstring& folder, const NetworkAdapter& dongle,
                         const std::wstring& ssid, const std::wstring& profileName);
    // True when the platform accepted the connection request.
    bool connectAdHoc(const std::wstring& profileName, const NetworkAdapter& dongle,
                      const std::wstring& ssid);

    bool _createAdHocXmlProfile(const std::wstring& ssid, const std::wstring& profileName,
                                const NetworkAdapter& dongle, const std::wstring& path);
    // Registers the profile in the file; reports only through the log and always answers true.
    bool setProfile(const std::wstring& guid, const std::wstring& path);
    bool connect(const std::wstring& mode, const std::wstring& ssid,
                 const std::wstring& profileName, const std::wstring& guid);
    std::wstring _ssidToHex(const std::wstring& ssid);
    void _printReason(DWORD reasonCode);
};

// folder, a backslash unless folder already ends with one, the SSID and ".xml".
std::wstring AdHocProfilePath(const std::wstring& folder, const std::wstring& ssid);
std::wstring StripBraces(const std::wstring& text);
// The SSID in the system code page as the platform's SSID record: 0, or 87 when there is no
// SSID or it does not fit 32 bytes.
DWORD MakeDot11Ssid(const wchar_t* ssid, DOT11_SSID* record);
