// Library entry point: names the log file after the library and writes the load banners.
#include <windows.h>

#include <cstring>

#include "log_file.h"

namespace {

// Sets the log path to the library's own full path + ".log". A path that would not fit whole
// is not set at all (so nothing is logged): cutting it could name the library file itself.
void SetLogPathBesideLibrary(HMODULE hModule)
{
    static const char kSuffix[] = ".log";
    char szPath[CLogFile::kPathChars] = {};
    DWORD n = GetModuleFileNameA(hModule, szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    if (n + sizeof kSuffix > sizeof szPath) return;
    std::memcpy(szPath + n, kSuffix, sizeof kSuffix);
    g_LogFile.SetFileName(szPath);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hModule, DWORD dwReason, LPVOID /*lpReserved*/)
{
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        SetLogPathBesideLibrary(hModule);
        g_LogFile.Write("D:", "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ <load> ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~");
        break;
    case DLL_PROCESS_DETACH:
        g_LogFile.Write("D:", "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ <unload> ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~");
        break;
    default:
        break;
    }
    return TRUE;
}
