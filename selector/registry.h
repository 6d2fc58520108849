// One open registry key, named by path texts: absolute ("HKEY_CURRENT_USER\Software\...") or
// relative to the key opened last, with leading "..\" steps to climb.
#pragma once

#include <windows.h>

#include <string>

class CRegistry {
public:
    // Longest path text accepted by Create and Open.
    static constexpr std::size_t kMaxPathChars = 1023;
    // Room for names returned by enumeration and for string and binary values read.
    static constexpr DWORD kMaxNameChars = 511;
    static constexpr DWORD kMaxValueBytes = 512;
    // Recorded when an internal failure (such as running out of memory) interrupts an operation.
    static constexpr LONG kInternalFailure = ERROR_EXCEPTION_IN_SERVICE;  // 1064

    CRegistry();
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    bool Create(const std::wstring& path, DWORD* pDisposition);
    bool Open(const std::wstring& path);
    // The sub-key to use under m_hRootKey; false (code in m_lLastError) when the path cannot be
    // resolved: too long, or an "HKEY_" root that names no predefined key.
    bool ResolvePath(const std::wstring& path, std::wstring& subKey);

    virtual bool DeleteKey(const std::wstring& path);
    virtual bool DeleteValue(const std::wstring& name);
    virtual bool EnumKey(DWORD index, std::wstring& name, std::wstring& className);
    virtual bool EnumValue(DWORD index, std::wstring& name, LPDWORD pType, LPBYTE pData,
                           LPDWORD pcbData);
    virtual LONG LastError() const;
    virtual bool GetKeySecurity(SECURITY_INFORMATION information, PSECURITY_DESCRIPTOR pDescriptor,
                                LPDWORD pcbDescriptor);
    // pDestination must hold kMaxValueBytes bytes.
    virtual bool ReadBinary(const std::wstring& name, BYTE* pDestination);
    virtual bool ReadString(const std::wstring& name, std::wstring& text);
    virtual bool ReadDword(const std::wstring& name, DWORD& value);
    virtual bool ReadFloat(const std::wstring& name, float& value);
    virtual bool NotifyChange(HANDLE hEvent, DWORD filter, bool watchSubtree, bool wait);
    virtual bool QueryInfo();
    virtual bool SetKeySecurity(SECURITY_INFORMATION& information, PSECURITY_DESCRIPTOR pDescriptor);
    virtual bool SetValue(const std::wstring& name, DWORD type, const BYTE* pData, DWORD cbData);
    virtual bool WriteString(const std::wstring& name, const std::wstring& text);
    virtual bool WriteDword(const std::wstring& name, DWORD value);
    virtual bool WriteFloat(const std::wstring& name, float value);
    virtual bool QueryValue(const std::wstring& name, LPDWORD pType, LPBYTE pData, LPDWORD pcbData);

    std::wstring m_strPath;
    std::wstring m_strRootName;
    HKEY m_hKey;
    HKEY m_hRootKey;
    LONG m_lLastError;
    std::wstring m_strClass;
    DWORD m_dwSubKeys;
    DWORD m_dwValues;
    DWORD m_dwMaxSubKeyLen;
    DWORD m_dwMaxClassLen;
    DWORD m_dwMaxValueNameLen;
    DWORD m_dwMaxValueLen;
    DWORD m_dwSecurityDescriptor;
    FILETIME m_ftLastWriteTime;

private:
    bool Record(LONG result);
    bool HasOpenKey();
    void CloseOpenKey();
    bool ReadValueBuffer(const std::wstring& name, BYTE* buffer, DWORD& cbRead);
};
