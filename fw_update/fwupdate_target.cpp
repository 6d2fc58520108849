// FWUpdate: the target VCI's serial number from the host INI file, and whether the PC's
// application may be installed on the VCI's platform version.
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "app_compatibility.h"
#include "drx_runtime.h"
#include "fwupdate.h"
#include "log_file.h"
#include "rt_codes.h"
#include "rt_format.h"

namespace {

const char kHostIni[] = "HXSystem.ini";
const DWORD kValueBytes = 256;

// The C library's token rules without hidden state: skips leading delimiters, returns the
// token up to the next delimiter (or the end) and moves past it; empty when none is left.
std::string NextToken(const char*& cursor, char delimiter)
{
    while (*cursor == delimiter) ++cursor;
    const char* start = cursor;
    while (*cursor && *cursor != delimiter) ++cursor;
    std::string token(start, cursor);
    if (*cursor) ++cursor;
    return token;
}

// The C library's atoi rules (leading blanks, optional sign, digits up to the first other
// character, 0 without digits), except that a number beyond 32 bits names no VCI either: 0,
// which the engine refuses as a serial number that is not a number.
int32_t ParseSerial(const std::string& text)
{
    errno = 0;
    long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || number < INT32_MIN || number > INT32_MAX) return 0;
    return static_cast<int32_t>(number);
}

}  // namespace

bool FWUpdate::_readSerialNum(const char* pszSection)
{
    _targetSerNum = 0;
    char szValue[kValueBytes] = {};
    if (GetPrivateProfileStringA(pszSection, "Device", "", szValue, sizeof szValue, kHostIni) == 0) {
        g_LogFile.Write("E:", "FWUpdate::_readSerialNum() - Could not read INI file section '%s'", pszSection);
        setStates(US_Error, ES_MissingSection);
        return false;
    }
    const char* cursor = szValue;
    std::string namePart = NextToken(cursor, '.');
    const char* nameCursor = namePart.c_str();
    std::string word = NextToken(nameCursor, '-');
    std::string serial = NextToken(nameCursor, '-');
    if (namePart.empty() || word.empty() || serial.empty()) return false;
    _targetSerNum = ParseSerial(serial);
    return true;
}

std::string FWUpdate::_getPcAppVersion(const char* pszName)
{
    g_LogFile.Write("D:", ">>> FWUpdate::_getPcAppVersion('%s')", pszName);
    std::string version;
    PCAppList apps;
    int32_t r = CDrxRuntime::Instance().GetAppsListPC(apps);
    if (r != 0) {
        g_LogFile.Write("I:", "FWUpdate::_getPcAppVersion() - Error in Retrieving App List [0x%X]",
                        static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
        return version;
    }
    g_LogFile.Write("D:", "FWUpdate::_getPcAppVersion() - Retrieved App List [%d app(s) found]",
                    static_cast<int>(apps.size()));
    if (apps.empty()) g_LogFile.Write("D:", "<<< FWUpdate::_getPcAppVersion() - no apps found.");
    if (const DrxRtPCAppItem* app = FindPcApp(apps, pszName)) {
        version = FormatVersion(app->uiVersion);
        g_LogFile.Write("D:", "FWUpdate::_getPcAppVersion() - Found target app '%s' [%s]", app->szName,
                        version.c_str());
    }
    g_LogFile.Write("D:", "<<< FWUpdate::_getPcAppVersion()");
    return version;
}

std::string FWUpdate::_getAppCompatConfigPath() { return AppCompatConfigPath(); }

bool FWUpdate::_isAppCompatible(const std::string& platformVersion, const std::string& appVersion)
{
    std::string path = _getAppCompatConfigPath();
    switch (LookUpAppCompat(path, platformVersion, appVersion)) {
    case EAppCompat::NoFile:
        g_LogFile.Write("E:", "FWUpdate::_isAppCompatible() - App Compatibility Config file [%s] not found.",
                        path.c_str());
        return true;
    case EAppCompat::NoEntry:
        g_LogFile.Write("E:", "FWUpdate::_isAppCompatible() - Could not read INI file section '%s'",
                        platformVersion.c_str());
        return true;
    case EAppCompat::Admitted:
        return true;
    case EAppCompat::NotAdmitted:
        break;
    }
    return false;
}
