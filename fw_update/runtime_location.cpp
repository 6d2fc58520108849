#include "runtime_location.h"

#include <windows.h>

const char kRuntimeKey[] = "SOFTWARE\\Quellar\\DRX-VCI\\Zanvi\\RT Support";
const char kRuntimeValue[] = "FunctionLibrary";

namespace {

const size_t kRuntimePathBytes = 256;

class CRegKey {
public:
    CRegKey() : m_hKey(nullptr) {}
    ~CRegKey()
    {
        if (m_hKey) RegCloseKey(m_hKey);
    }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    HKEY* operator&() { return &m_hKey; }
    HKEY get() const { return m_hKey; }

private:
    HKEY m_hKey;
};

}  // namespace

ERuntimeLocation ReadRuntimeLibraryPath(std::string& path)
{
    path.clear();
    CRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRuntimeKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ERuntimeLocation::NoKey;
    char szPath[kRuntimePathBytes] = {};
    DWORD type = 0;
    DWORD size = sizeof szPath;
    LONG rc = RegQueryValueExA(key.get(), kRuntimeValue, nullptr, &type, reinterpret_cast<BYTE*>(szPath), &size);
    // The path must be text and leave room for its terminator.
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || szPath[sizeof szPath - 1] != '\0')
        return ERuntimeLocation::NoValue;
    path = szPath;
    return ERuntimeLocation::Found;
}
