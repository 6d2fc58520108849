#include "wifi_api.h"

#include <msxml2.h>
#include <ole2.h>
#include <rpc.h>
#include <strsafe.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

#include "ansi_text.h"
#include "log.h"
#include "system_library.h"
#include "wlan_library.h"

namespace {

// MSXML 6 document class; public identifier, not declared by every SDK.
const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4,
                                   {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2,
                                 {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

constexpr DWORD kReasonUnknown = 0x10001;  // WLAN_REASON_CODE_UNKNOWN
constexpr std::size_t kReasonChars = 256;
constexpr std::size_t kMaxSsidUnits = 99;

// The RPC, COM and automation libraries are loaded only here, for the profile and the
// connection: a plug-in that imported them would load them (about 9 ms) at every load.
bool ParseGuid(const std::wstring& text, GUID* guid)
{
    using UuidFromStringFn = RPC_STATUS(RPC_ENTRY*)(RPC_WSTR, UUID*);
    CSystemLibrary rpcrt4(L"rpcrt4.dll");
    auto uuidFromString = rpcrt4.Bind<UuidFromStringFn>("UuidFromStringW");
    std::wstring copy = text;
    return uuidFromString &&
           uuidFromString(reinterpret_cast<RPC_WSTR>(&copy[0]), guid) == RPC_S_OK;
}

// COM on this thread and the calls of the XML document, while the object lives.
class CComCalls {
public:
    CComCalls() : m_ole32(L"ole32.dll"), m_oleaut32(L"oleaut32.dll")
    {
        coInitializeEx = m_ole32.Bind<decltype(coInitializeEx)>("CoInitializeEx");
        coUninitialize = m_ole32.Bind<decltype(coUninitialize)>("CoUninitialize");
        coCreateInstance = m_ole32.Bind<decltype(coCreateInstance)>("CoCreateInstance");
        sysAllocString = m_oleaut32.Bind<decltype(sysAllocString)>("SysAllocString");
        sysFreeString = m_oleaut32.Bind<decltype(sysFreeString)>("SysFreeString");
        variantClear = m_oleaut32.Bind<decltype(variantClear)>("VariantClear");
    }
    // COM ends on this thread before its libraries go.
    ~CComCalls()
    {
        if (m_initialized) coUninitialize();
    }
    CComCalls(const CComCalls&) = delete;
    CComCalls& operator=(const CComCalls&) = delete;

    HRESULT Initialize()
    {
        if (!coInitializeEx || !coUninitialize || !coCreateInstance || !sysAllocString ||
            !sysFreeString || !variantClear)
            return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        HRESULT hr = coInitializeEx(nullptr, COINIT_MULTITHREADED);
        m_initialized = SUCCEEDED(hr);
        // A host thread already in the single-threaded model (a user-interface thread often
        // is) keeps it: COM runs there and the document works in either model. Only an
        // initialisation of our own is ours to end.
        if (hr == RPC_E_CHANGED_MODE) {
            WriteLog(L"D:", L"COM kept in the thread's single-threaded model");
            return S_OK;
        }
        return hr;
    }

    HRESULT(WINAPI* coInitializeEx)(LPVOID, DWORD) = nullptr;
    void(WINAPI* coUninitialize)() = nullptr;
    HRESULT(WINAPI* coCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*) = nullptr;
    BSTR(WINAPI* sysAllocString)(const OLECHAR*) = nullptr;
    void(WINAPI* sysFreeString)(BSTR) = nullptr;
    HRESULT(WINAPI* variantClear)(VARIANTARG*) = nullptr;

private:
    CSystemLibrary m_ole32;
    CSystemLibrary m_oleaut32;
    bool m_initialized = false;
};

DWORD ErrorFromHresult(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(hr))
                                                  : static_cast<DWORD>(hr);
}

void LogWlanResult(DWORD error)
{
    switch (error) {
    case ERROR_INVALID_PARAMETER: WriteLog(L"E:", L"Invalid parameter"); break;
    case ERROR_NOT_SUPPORTED: WriteLog(L"E:", L"Command not supported"); break;
    default: WriteLog(L"E:", L"Got error %d", static_cast<int>(error)); break;
    }
}

// The text with the characters that XML reserves written as entities.
std::wstring XmlEscaped(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += L"&quot;"; break;
        case L'\'': out += L"&apos;"; break;
        default: out += c; break;
        }
    }
    return out;
}

// The file's 8-bit text: a code unit up to 0xFF becomes the byte of the same value; one that
// has none becomes "?".
std::string Latin1(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out += c <= 0xFF ? static_cast<char>(c) : '?';
    return out;
}

// An SSID becomes a file name: characters that would lead elsewhere or that no file name may
// hold make the profile unwritable.
bool IsFileNameSafe(const std::wstring& name)
{
    return name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Frees the XML text and releases the document on every path, while COM still runs.
struct DomHolder {
    explicit DomHolder(const CComCalls& calls) : com(calls) {}
    ~DomHolder()
    {
        if (xml) com.sysFreeString(xml);
        if (document) document->Release();
    }
    DomHolder(const DomHolder&) = delete;
    DomHolder& operator=(const DomHolder&) = delete;

    const CComCalls& com;
    IXMLDOMDocument2* document = nullptr;
    BSTR xml = nullptr;
};

// Loads the profile file into the platform's XML document and takes its text; 0 or the error.
DWORD ReadProfileXml(const std::wstring& path, CComCalls& com, DomHolder& dom)
{
    HRESULT hr = com.Initialize();
    if (FAILED(hr)) return ErrorFromHresult(hr);
    hr = com.coCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER,
                              kIidXmlDomDocument2, reinterpret_cast<void**>(&dom.document));
    if (FAILED(hr) || !dom.document) return ErrorFromHresult(hr);

    VARIANT source = {};
    source.vt = VT_BSTR;
    source.bstrVal = com.sysAllocString(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = source.bstrVal ? dom.document->load(source, &loaded) : E_OUTOFMEMORY;
    com.variantClear(&source);
    if (FAILED(hr) || loaded != VARIANT_TRUE) return ERROR_BAD_PROFILE;
    if (FAILED(dom.document->get_xml(&dom.xml)) || !dom.xml) return ERROR_BAD_PROFILE;
    return ERROR_SUCCESS;
}

}  // namespace

std::wstring AdHocProfilePath(const std::wstring& folder, const std::wstring& ssid)
{
    std::wstring path = folder;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + ssid + L".xml";
}

std::wstring StripBraces(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'{' && c != L'}') out += c;
    return out;
}

DWORD MakeDot11Ssid(const wchar_t* ssid, DOT11_SSID* record)
{
    if (!ssid || !record) return ERROR_INVALID_PARAMETER;
    const std::string bytes = NarrowAnsi(ssid);
    if (bytes.size() > kMaxSsidBytes) return ERROR_INVALID_PARAMETER;
    record->uSSIDLength = static_cast<ULONG>(bytes.size());
    std::memset(record->ucSSID, 0, sizeof(record->ucSSID));
    std::memcpy(record->ucSSID, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

bool CWifiApi::addAdHocProfile(const std::wstring& folder, const NetworkAdapter& dongle,
                               const std::wstring& ssid, const std::wstring& profileName)
{
    WriteLog(L"D:", L"CWifiApi::addAdHocProfile(SSID='%s', GUID='%s')", ssid.c_str(),
             dongle.name.c_str());
    const std::wstring path = AdHocProfilePath(folder, ssid);
    if (!_createAdHocXmlProfile(ssid, profileName, dongle, path)) {
        WriteLog(L"E:", L"CWifiApi::addProfile() : Unable to create XML file.");
        return false;
    }
    return setProfile(StripBraces(dongle.name), path);
}

bool CWifiApi::_createAdHocXmlProfile(const std::wstring& ssid, const std::wstring& profileName,
                                      const NetworkAdapter& dongle, const std::wstring& path)
{
    WriteLog(L"I:", L"CWifiApi::_createAdHocXmlProfile()");
    const wchar_t* problem = nullptr;
    if (ssid.empty())
        problem = L"CWifiApi::_createAdHocXmlProfile() - no ssid provided.";
    else if (profileName.empty())
        problem = L"CWifiApi::_createAdHocXmlProfile() - no profile name provided.";
    else if (dongle.name.empty())
        problem = L"CWifiApi::_createAdHocXmlProfile() - no interfaceGUID provided.";
    else if (path.empty())
        problem = L"CWifiApi::_createAdHocXmlProfile() - xml path not set.";
    if (problem) {
        WriteLog(L"E:", problem);
        return false;
    }
    std::unique_ptr<FILE, FileCloser> file(IsFileNameSafe(ssid) ? _wfopen(path.c_str(), L"wt")
                                                                : nullptr);
    if (!file) {
        WriteLog(L"E:", L"CWifiApi::_createAdHocXmlProfile() - unable to open file.");
        return false;
    }

    const std::wstring text =
        L"<?xml version=\"1.0\"?>\n"
        L"<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\">\n"
        L" <name>" + XmlEscaped(profileName) + L"</name>\n"
        L" <SSIDConfig>\n"
        L"  <SSID>\n"
        L"   <hex>" + _ssidToHex(ssid) + L"</hex>\n"
        L"   <name>" + XmlEscaped(ssid) + L"</name>\n"
        L"  </SSID>\n"
        L"  <nonBroadcast>false</nonBroadcast>\n"
        L" </SSIDConfig>\n"
        L" <connectionType>IBSS</connectionType>\n"
        L" <connectionMode>manual</connectionMode>\n"
        L" <MSM>\n"
        L"  <security>\n"
        L"   <authEncryption>\n"
        L"    <authentication>open</authentication>\n"
        L"    <encryption>none</encryption>\n"
        L"    <useOneX>false</useOneX>\n"
        L"   </authEncryption>\n"
        L"  </security>\n"
        L" </MSM>\n"
        L"</WLANProfile>\n";
    const std::string bytes = Latin1(text);
    const bool written = std::fputs(bytes.c_str(), file.get()) >= 0;
    return std::fclose(file.release()) == 0 && written;
}

std::wstring CWifiApi::_ssidToHex(const std::wstring& ssid)
{
    std::wstring hex;
    const std::size_t units = ssid.size() < kMaxSsidUnits ? ssid.size() : kMaxSsidUnits;
    for (std::size_t i = 0; i < units; ++i) {
        wchar_t digits[8];
        StringCchPrintfW(digits, 8, L"%02X", static_cast<unsigned>(ssid[i]));
        // A code unit whose digits no longer fit is left out whole, never cut.
        if (hex.size() + std::wcslen(digits) > kSsidHexChars) break;
        hex += digits;
    }
    return hex;
}

bool CWifiApi::setProfile(const std::wstring& guidText, const std::wstring& path)
{
    GUID guid;
    if (!ParseGuid(guidText, &guid)) {
        WriteLog(L"E:", L"Invalid GUID '%s'", guidText.c_str());
        WriteLog(L"E:", L"Invalid parameter");
        return true;
    }
    // A profile found bad before the platform judged it has no reason of the platform's own.
    DWORD reason = kReasonUnknown;
    CComCalls com;  // ends after the document
    DomHolder dom(com);
    DWORD error = ReadProfileXml(path, com, dom);
    if (error == ERROR_SUCCESS) {
        CWlanLibrary wlan;
        CWlanClient client(wlan.Calls());
        error = client.OpenResult();
        if (error == ERROR_SUCCESS)
            error = wlan.Calls().setProfile(client.Get(), &guid, 0, dom.xml, nullptr, TRUE,
                                            nullptr, &reason);
    }
    switch (error) {
    case ERROR_SUCCESS: WriteLog(L"D:", L"Profile set successfully."); break;
    case ERROR_BAD_PROFILE:
        WriteLog(L"E:", L"The profile is bad. Reason:");
        _printReason(reason);
        break;
    default: LogWlanResult(error); break;
    }
    return true;
}

void CWifiApi::_printReason(DWORD reasonCode)
{
    CWlanLibrary wlan;
    wchar_t text[kReasonChars] = {};
    if (wlan.Calls().reasonCodeToString(reasonCode, kReasonChars, text, nullptr) == ERROR_SUCCESS) {
        text[kReasonChars - 1] = L'\0';
        WriteLog(L"E:", L"The reason is \"%s\".", text);
    } else {
        WriteLog(L"E:", L"The reason code is %d.", static_cast<int>(reasonCode));
    }
}

bool CWifiApi::connectAdHoc(const std::wstring& profileName, const NetworkAdapter& dongle,
                            const std::wstring& ssid)
{
    WriteLog(L"D:", L"CWifiApi::connectAdHoc(SSID='%s', GUID='%s')", ssid.c_str(),
             dongle.name.c_str());
    return connect(L"adhoc", ssid, profileName, StripBraces(dongle.name));
}

bool CWifiApi::connect(const std::wstring& mode, const std::wstring& ssid,
                       const std::wstring& profileName, const std::wstring& guidText)
{
    GUID guid;
    if (!ParseGuid(guidText, &guid)) {
        WriteLog(L"E:", L"Invalid GUID '%s'", guidText.c_str());
        WriteLog(L"E:", L"Invalid parameter");
        return false;
    }
    DOT11_SSID dot11Ssid{};
    DWORD error = MakeDot11Ssid(ssid.c_str(), &dot11Ssid);
    if (error == ERROR_SUCCESS) {
        DOT11_BSS_TYPE bssType;
        if (_wcsicmp(mode.c_str(), L"adhoc") == 0 || _wcsicmp(mode.c_str(), L"a") == 0) {
            bssType = dot11_BSS_type_independent;
        } else if (_wcsicmp(mode.c_str(), L"infrastructure") == 0 ||
                   _wcsicmp(mode.c_str(), L"i") == 0) {
            bssType = dot11_BSS_type_infrastructure;
        } else {
            WriteLog(L"E:", L"Invalid parameter");
            return false;
        }
        WLAN_CONNECTION_PARAMETERS parameters{};
        parameters.wlanConnectionMode = wlan_connection_mode_profile;
        parameters.strProfile = profileName.c_str();
        parameters.pDot11Ssid = &dot11Ssid;
        parameters.pDesiredBssidList = nullptr;
        parameters.dot11BssType = bssType;
        parameters.dwFlags = 0;

        CWlanLibrary wlan;
        CWlanClient client(wlan.Calls());
        error = client.OpenResult();
        if (error == ERROR_SUCCESS)
            error = wlan.Calls().connect(client.Get(), &guid, &parameters, nullptr);
    }
    if (error == ERROR_SUCCESS) return true;
    LogWlanResult(error);
    return false;
}
