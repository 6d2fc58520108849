#include "registry.h"

#include <cstring>
#include <new>

namespace {

struct RootName {
    const wchar_t* name;
    HKEY key;
};

const RootName kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKEY_USERS", HKEY_USERS},
    {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {L"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

const wchar_t kRootPrefix[] = L"HKEY_";
const std::size_t kRootPrefixChars = 5;
const wchar_t kClimb[] = L"..\\";
const std::size_t kClimbChars = 3;

}  // namespace

CRegistry::CRegistry()
    : m_hKey(nullptr), m_hRootKey(nullptr), m_lLastError(ERROR_SUCCESS), m_dwSubKeys(0),
      m_dwValues(0), m_dwMaxSubKeyLen(0), m_dwMaxClassLen(0), m_dwMaxValueNameLen(0),
      m_dwMaxValueLen(0), m_dwSecurityDescriptor(0), m_ftLastWriteTime{}
{
}

CRegistry::~CRegistry()
{
    if (m_hKey && RegCloseKey(m_hKey) == ERROR_SUCCESS) m_hKey = nullptr;
}

bool CRegistry::Record(LONG result)
{
    m_lLastError = result;
    return result == ERROR_SUCCESS;
}

bool CRegistry::HasOpenKey()
{
    if (m_hKey) return true;
    m_lLastError = ERROR_INVALID_HANDLE;
    return false;
}

void CRegistry::CloseOpenKey()
{
    if (!m_hKey) return;
    Record(RegCloseKey(m_hKey));
    m_hKey = nullptr;
}

bool CRegistry::ResolvePath(const std::wstring& path, std::wstring& subKey)
{
    if (path.size() > kMaxPathChars) return Record(ERROR_FILENAME_EXCED_RANGE);

    if (path.compare(0, kRootPrefixChars, kRootPrefix) == 0) {
        std::size_t slash = path.find(L'\\', kRootPrefixChars);
        m_strRootName = path.substr(0, slash);
        HKEY root = nullptr;
        for (const RootName& r : kRoots)
            if (m_strRootName == r.name) root = r.key;
        // An unknown root must not fall back to whatever root the object used before.
        if (!root) return Record(ERROR_BAD_PATHNAME);
        m_hRootKey = root;
        subKey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
        return true;
    }

    std::wstring rest = path;
    while (rest.compare(0, kClimbChars, kClimb) == 0) {
        std::size_t last = m_strPath.rfind(L'\\');
        m_strPath.erase(last == std::wstring::npos ? 0 : last);
        rest.erase(0, kClimbChars);
    }
    if (!rest.empty() && !m_strPath.empty()) m_strPath += L'\\';
    m_strPath += rest;
    subKey = m_strPath;
    return true;
}

bool CRegistry::Create(const std::wstring& path, DWORD* pDisposition)
{
    try {
        CloseOpenKey();
        std::wstring subKey;
        if (!ResolvePath(path, subKey)) return false;
        if (!m_hRootKey) return Record(ERROR_INVALID_HANDLE);
        if (!Record(RegCreateKeyExW(m_hRootKey, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &m_hKey, pDisposition))) {
            m_hKey = nullptr;
            return false;
        }
        m_strPath = subKey;
        return true;
    } catch (const std::bad_alloc&) {
        return Record(kInternalFailure);
    }
}

bool CRegistry::Open(const std::wstring& path)
{
    try {
        std::wstring subKey;
        if (!ResolvePath(path, subKey)) return false;
        CloseOpenKey();
        if (!m_hRootKey) return Record(ERROR_INVALID_HANDLE);
        if (!Record(RegOpenKeyExW(m_hRootKey, subKey.c_str(), 0, KEY_READ, &m_hKey))) {
            m_hKey = nullptr;
            return false;
        }
        QueryInfo();
        m_strPath = subKey;
        return true;
    } catch (const std::bad_alloc&) {
        return Record(kInternalFailure);
    }
}

bool CRegistry::DeleteKey(const std::wstring& path)
{
    if (!HasOpenKey()) return false;
    std::size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return Record(RegDeleteKeyW(m_hKey, path.c_str()));

    HKEY hParent = nullptr;
    if (!Record(RegOpenKeyExW(m_hKey, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS, &hParent)))
        return false;
    LONG result = RegDeleteKeyW(hParent, path.c_str() + slash + 1);
    RegCloseKey(hParent);
    return Record(result);
}

bool CRegistry::DeleteValue(const std::wstring& name)
{
    return HasOpenKey() && Record(RegDeleteValueW(m_hKey, name.c_str()));
}

bool CRegistry::EnumKey(DWORD index, std::wstring& name, std::wstring& className)
{
    if (!HasOpenKey()) return false;
    wchar_t szName[kMaxNameChars + 1] = {};
    wchar_t szClass[kMaxNameChars + 1] = {};
    DWORD cchName = kMaxNameChars + 1;
    DWORD cchClass = kMaxNameChars + 1;
    if (!Record(RegEnumKeyExW(m_hKey, index, szName, &cchName, nullptr, szClass, &cchClass,
                              &m_ftLastWriteTime)))
        return false;
    name.assign(szName, cchName);
    className.assign(szClass, cchClass);
    return true;
}

bool CRegistry::EnumValue(DWORD index, std::wstring& name, LPDWORD pType, LPBYTE pData,
                          LPDWORD pcbData)
{
    try {
        if (!HasOpenKey()) return false;
        wchar_t szName[kMaxNameChars + 1] = {};
        DWORD cchName = kMaxNameChars + 1;
        if (!Record(RegEnumValueW(m_hKey, index, szName, &cchName, nullptr, pType, pData, pcbData)))
            return false;
        name.assign(szName, cchName);
        return true;
    } catch (const std::bad_alloc&) {
        return Record(kInternalFailure);
    }
}

LONG CRegistry::LastError() const
{
    return m_lLastError;
}

bool CRegistry::GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR pDescriptor,
                               LPDWORD pcbDescriptor)
{
    return HasOpenKey() && Record(RegGetKeySecurity(m_hKey, information, pDescriptor, pcbDescriptor));
}

bool CRegistry::ReadValueBuffer(const std::wstring& name, BYTE* buffer, DWORD& cbRead)
{
    cbRead = kMaxValueBytes;
    return QueryValue(name, nullptr, buffer, &cbRead);
}

bool CRegistry::ReadBinary(const std::wstring& name, BYTE* pDestination)
{
    BYTE buffer[kMaxValueBytes] = {};
    DWORD cbRead = 0;
    if (!ReadValueBuffer(name, buffer, cbRead)) return false;
    std::memcpy(pDestination, buffer, cbRead);
    return true;
}

bool CRegistry::ReadString(const std::wstring& name, std::wstring& text)
{
    wchar_t buffer[kMaxValueBytes / sizeof(wchar_t)] = {};
    DWORD cbRead = 0;
    if (!ReadValueBuffer(name, reinterpret_cast<BYTE*>(buffer), cbRead)) return false;
    std::size_t chars = cbRead / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < chars && buffer[length] != L'\0') ++length;
    text.assign(buffer, length);
    return true;
}

bool CRegistry::ReadDword(const std::wstring& name, DWORD& value)
{
    DWORD cb = sizeof(value);
    return QueryValue(name, nullptr, reinterpret_cast<BYTE*>(&value), &cb);
}

bool CRegistry::ReadFloat(const std::wstring& name, float& value)
{
    DWORD cb = sizeof(value);
    return QueryValue(name, nullptr, reinterpret_cast<BYTE*>(&value), &cb);
}

bool CRegistry::NotifyChange(HANDLE hEvent, DWORD filter, bool watchSubtree, bool wait)
{
    if (!hEvent && !wait) return Record(ERROR_INVALID_PARAMETER);
    return HasOpenKey() &&
           Record(RegNotifyChangeKeyValue(m_hKey, watchSubtree, filter, hEvent, !wait));
}

bool CRegistry::QueryInfo()
{
    if (!HasOpenKey()) return false;
    wchar_t szClass[kMaxNameChars + 1] = {};
    DWORD cchClass = kMaxNameChars + 1;
    if (!Record(RegQueryInfoKeyW(m_hKey, szClass, &cchClass, nullptr, &m_dwSubKeys,
                                 &m_dwMaxSubKeyLen, &m_dwMaxClassLen, &m_dwValues,
                                 &m_dwMaxValueNameLen, &m_dwMaxValueLen, &m_dwSecurityDescriptor,
                                 &m_ftLastWriteTime)))
        return false;
    m_strClass.assign(szClass, cchClass);
    return true;
}

bool CRegistry::SetKeySecurity(SECURITY_INFORMATION& information, PSECURITY_DESCRIPTOR pDescriptor)
{
    return HasOpenKey() && Record(RegSetKeySecurity(m_hKey, information, pDescriptor));
}

bool CRegistry::SetValue(const std::wstring& name, DWORD type, const BYTE* pData, DWORD cbData)
{
    return HasOpenKey() && Record(RegSetValueExW(m_hKey, name.c_str(), 0, type, pData, cbData));
}

bool CRegistry::WriteString(const std::wstring& name, const std::wstring& text)
{
    DWORD cb = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return SetValue(name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), cb);
}

bool CRegistry::WriteDword(const std::wstring& name, DWORD value)
{
    return SetValue(name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

bool CRegistry::WriteFloat(const std::wstring& name, float value)
{
    return SetValue(name, REG_BINARY, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

bool CRegistry::QueryValue(const std::wstring& name, LPDWORD pType, LPBYTE pData, LPDWORD pcbData)
{
    return HasOpenKey() &&
           Record(RegQueryValueExW(m_hKey, name.c_str(), nullptr, pType, pData, pcbData));
}
