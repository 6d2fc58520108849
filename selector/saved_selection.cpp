// The saved selection: composing the service-instance text, writing it where the host looks
// for it and reading it back at start-up.
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "acp_text.h"
#include "message_box.h"
#include "zanvi_selector_dlg.h"

namespace {

const wchar_t kHardwareSection[] = L"SD_HARDWARE";
const wchar_t kInterfaceKey[] = L"Interface";
const wchar_t kZanvi[] = L"Zanvi";
const wchar_t kDeviceKey[] = L"Device";
const wchar_t kSettingsKeyPath[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const wchar_t kServiceInstanceValue[] = L"VCIServiceInstance";

// Room for the Interface and Device values read back (63 characters and the terminator).
const DWORD kIniValueChars = 64;
// Room for the service-instance text as written (199 characters and the terminator).
const std::size_t kSelectionChars = 200;

struct LinkWords {
    char cBoxInitial;      // first letter of the word the selection box shows
    const char* szText;    // closing piece of the service-instance text
    const char* szSearch;  // what marks the link in a text read back
    const wchar_t* szBox;  // the word the selection box shows
};

// Indexed by link: 0 USB, 1 Wi-Fi, 2 Ethernet.
const LinkWords kLinks[] = {
    {'U', "usb]", "usb", L"USB"},
    {'W', "wifi]", "wif", L"WiFi"},
    {'E', "eth]", "eth", L"Ethernet"},
};

struct KeyCloser {
    void operator()(HKEY hKey) const { RegCloseKey(hKey); }
};
using KeyHolder = std::unique_ptr<std::remove_pointer<HKEY>::type, KeyCloser>;

}  // namespace

bool CZanviSelectorDlg::BuildSelectionText(const std::wstring& boxText)
{
    char szBox[kSelectionBoxChars + 1] = {};
    CopyCut(szBox, NarrowAcp(boxText.substr(0, kSelectionBoxChars)));

    const char* pSpace = std::strchr(szBox, ' ');
    if (!pSpace || pSpace == szBox) return false;

    // A link word the box cannot show (such as "???") composes nothing: an unusable text must
    // not replace the host's saved choice.
    const char* szLinkText = nullptr;
    for (const LinkWords& link : kLinks)
        if (pSpace[1] == link.cBoxInitial) szLinkText = link.szText;
    if (!szLinkText) return false;

    std::string selection = "srv[";
    selection.append(szBox, static_cast<std::size_t>(pSpace - szBox));
    selection += m_szDomainSuffix;
    selection += std::string(",") + m_szPort + ",";
    selection += szLinkText;
    CopyCut(m_szSelection, selection);
    return true;
}

bool CZanviSelectorDlg::WriteSelectionIni(const char* text)
{
    // Without a file the private-profile calls would fall back to the system's win.ini.
    if (!m_strIniFile.empty()) {
        const wchar_t* szIni = m_strIniFile.c_str();
        std::wstring device = WidenAcp(text).substr(0, kSelectionChars - 1);
        wchar_t szInterface[kIniValueChars] = {};
        DWORD nRead = GetPrivateProfileStringW(kHardwareSection, kInterfaceKey, L"", szInterface,
                                               kIniValueChars, szIni);
        bool bWritten;
        if (nRead > 0 && _wcsicmp(szInterface, kZanvi) == 0) {
            bWritten = WritePrivateProfileStringW(szInterface, kDeviceKey, device.c_str(), szIni);
        } else {
            bWritten = WritePrivateProfileStringW(kHardwareSection, kInterfaceKey, kZanvi, szIni) &&
                       WritePrivateProfileStringW(kZanvi, kDeviceKey, device.c_str(), szIni);
        }
        if (bWritten) {
            WritePrivateProfileStringW(kZanvi, L"Baudrate", L"56000", szIni);
            WritePrivateProfileStringW(kZanvi, L"Sermode", L"9", szIni);
            WritePrivateProfileStringW(kZanvi, L"Download", L"1", szIni);
            return true;
        }
    }
    std::wstring message =
        L"Unable to write to " + m_strIniFile + L". You must be an administrator.";
    ShowOwnerlessMessageBox(message.c_str(), L"Zanvi Selector", MB_ICONERROR);
    return false;
}

bool CZanviSelectorDlg::WriteSelectionRegistry(const char* text)
{
    if (!m_pHostPreferences) return false;
    std::wstring value = WidenAcp(text).substr(0, kSelectionChars - 1);
    m_pHostPreferences->SaveString(m_pHostPreferences->m_strSettingsKey,
                                   m_pHostPreferences->m_strServiceInstanceValue, value);
    return true;
}

bool CZanviSelectorDlg::ReadSelectionIni()
{
    if (m_strIniFile.empty()) return false;
    const wchar_t* szIni = m_strIniFile.c_str();
    wchar_t szInterface[kIniValueChars] = {};
    if (GetPrivateProfileStringW(kHardwareSection, kInterfaceKey, L"", szInterface, kIniValueChars,
                                 szIni) == 0)
        return false;
    if (_wcsicmp(szInterface, kZanvi) != 0) return false;

    // Device comes back in the same 64 characters: a longer stored text is cut.
    std::wstring section = szInterface;
    wchar_t szDevice[kIniValueChars] = {};
    if (GetPrivateProfileStringW(section.c_str(), kDeviceKey, L"", szDevice, kIniValueChars,
                                 szIni) == 0)
        return false;
    CopyCut(m_szSelection, NarrowAcp(szDevice));
    return true;
}

bool CZanviSelectorDlg::ReadSelectionRegistry()
{
    HKEY hRaw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &hRaw) !=
        ERROR_SUCCESS)
        return false;
    KeyHolder hKey(hRaw);

    // 200 bytes offered: a value of more than 99 characters is not read.
    wchar_t szValue[kSelectionChars] = {};
    DWORD cbValue = kSelectionChars;
    if (RegQueryValueExW(hKey.get(), kServiceInstanceValue, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(szValue), &cbValue) != ERROR_SUCCESS)
        return false;
    CopyCut(m_szSelection, NarrowAcp(szValue));
    return true;
}

void CZanviSelectorDlg::ShowCurrentSelection()
{
    const char* pOpen = std::strchr(m_szSelection, '[');
    if (!pOpen) return;
    const char* body = pOpen + 1;

    // Later searches win: Wi-Fi over Ethernet over USB, wherever the word stands.
    int nLink = -1;
    for (int order : {0, 2, 1})
        if (std::strstr(body, kLinks[order].szSearch)) nLink = order;
    if (nLink >= 0) m_nSelLink = nLink;

    // The name ends at the first '.'; a text without one ends it at the port's ',' or the ']'.
    std::size_t nameLength = std::strcspn(body, ".");
    if (body[nameLength] == '\0') nameLength = std::strcspn(body, ",]");
    CopyCut(m_szSelName, std::string(body, nameLength));
    CopyCut(m_wszSelName, WidenAcp(m_szSelName));

    std::wstring box = m_wszSelName;
    box += L' ';
    box += nLink >= 0 ? kLinks[nLink].szBox : L"???";
    SetSelectionBoxText(box);
}
