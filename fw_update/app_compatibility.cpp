#include "app_compatibility.h"

#include <shlobj.h>

#include <mbstring.h>

#include "narrow_path.h"
#include "system_library.h"

namespace {

const char kCompatFile[] = "Quellar\\DRX-VCI\\Zanvi\\app-compatibility\\zvci_app_compatibility.config";
const DWORD kValueBytes = 256;

}  // namespace

const DrxRtPCAppItem* FindPcApp(const PCAppList& apps, const char* pszName)
{
    for (const DrxRtPCAppItem& app : apps)
        if (_stricmp(app.szName, pszName) == 0) return &app;
    return nullptr;
}

std::string AppCompatConfigPath()
{
    // The shell library only for this call: imported, it would load with every load of the
    // plug-in.
    using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    CSystemLibrary shell32(L"shell32.dll");
    auto getFolderPath = shell32.Bind<GetFolderPathFn>("SHGetFolderPathA");
    char szFolder[MAX_PATH] = {};
    if (!getFolderPath || FAILED(getFolderPath(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, szFolder)))
        return std::string();
    return JoinPath(szFolder, kCompatFile);
}

EAppCompat LookUpAppCompat(const std::string& path, const std::string& platformVersion,
                           const std::string& appVersion)
{
    if (!FileExists(path)) return EAppCompat::NoFile;
    char szValue[kValueBytes] = {};
    if (GetPrivateProfileStringA(platformVersion.c_str(), "zvci", "", szValue, sizeof szValue, path.c_str()) == 0)
        return EAppCompat::NoEntry;
    return _mbsstr(reinterpret_cast<const unsigned char*>(szValue),
                   reinterpret_cast<const unsigned char*>(appVersion.c_str())) != nullptr
               ? EAppCompat::Admitted
               : EAppCompat::NotAdmitted;
}
