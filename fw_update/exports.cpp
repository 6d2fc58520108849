// The sixteen exports the update application calls: each traces and forwards to the one engine.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "fwupdate.h"
#include "log_file.h"

#define FWU_EXPORT extern "C" int32_t __cdecl

namespace {

FWUpdate* g_pFWUpdate = nullptr;
// An engine whose worker Free could not wait for: it and the runtime stay as they are until
// that worker has ended (the worker keeps this library loaded meanwhile).
FWUpdate* g_pAbandoned = nullptr;

// Up to size bytes of a host buffer, which need not be terminated; "NULL" for no buffer.
std::string HostText(const char* text, int32_t size)
{
    if (!text) return "NULL";
    return std::string(text, strnlen(text, size > 0 ? static_cast<size_t>(size) : 0));
}

// The text exports this plug-in does not support: traced, the buffer never written.
int32_t TextUnsupported(const char* name, const char* text, int32_t size)
{
    g_LogFile.Write("D:", "zeb_fw_update - %s('%s', %d)", name, HostText(text, size).c_str(), size);
    return -1;
}

// True when no abandoned worker holds the runtime any more; an abandoned engine whose worker
// has ended is destroyed here, which disconnects and releases the runtime.
bool ReclaimAbandoned()
{
    if (!g_pAbandoned) return true;
    if (!g_pAbandoned->workerEnded()) return false;
    delete g_pAbandoned;
    g_pAbandoned = nullptr;
    return true;
}

bool EngineMissing(const char* message)
{
    if (g_pFWUpdate) return false;
    g_LogFile.Write("E:", "%s", message);
    return true;
}

// Reads one polled value with its entry and leaving lines.
template <class Read>
int32_t Poll(const char* name, const char* missing, int32_t missingValue, Read read)
{
    g_LogFile.Write("D:", "zeb_fw_update - %s()", name);
    if (EngineMissing(missing)) return missingValue;
    int32_t value = read(*g_pFWUpdate);
    g_LogFile.Write("D:", "zeb_fw_update - %s() leaving", name);
    return value;
}

}  // namespace

FWU_EXPORT Init()
{
    g_LogFile.Write("D:", "zeb_fw_update - Init()");
    try {
        // A second Init keeps the engine it has; its runtime refuses to start twice.
        if (!ReclaimAbandoned()) {
            g_LogFile.Write("E:", "Init(): an earlier update is still inside the runtime.");
        } else if (!g_pFWUpdate && !(g_pFWUpdate = new (std::nothrow) FWUpdate())) {
            g_LogFile.Write("E:", "Init(): creation of FWUpdate failed.");
        } else if (g_pFWUpdate->initialize()) {
            g_LogFile.Write("D:", "zeb_fw_update - leaving init with success");
            return 0;
        }
    } catch (...) {
    }
    g_LogFile.Write("D:", "zeb_fw_update - leaving init with failure");
    return -1;
}

FWU_EXPORT Free()
{
    g_LogFile.Write("D:", "zeb_fw_update - Free()");
    if (EngineMissing("zeb_fw_update - Free(): FWUpdate class not created.")) return -1;
    try {
        // A worker stuck in a runtime call still uses the engine and the runtime: both are left
        // loaded on purpose rather than freed under it.
        if (g_pFWUpdate->stopWorker()) {
            delete g_pFWUpdate;
        } else {
            g_LogFile.Write("E:", "zeb_fw_update - Free(): worker did not end; engine and runtime left loaded.");
            g_pAbandoned = g_pFWUpdate;
        }
    } catch (...) {
    }
    g_pFWUpdate = nullptr;
    return 0;
}

FWU_EXPORT Execute(const char* pszCmd, const char* pszModule, const char* pszThird, const char* pszFourth,
                   int32_t iFifth)
{
    g_LogFile.Write("D:", "zeb_fw_update - Execute()");
    if (EngineMissing("zeb_fw_update - Execute(): FWUpdate class not created.")) return -1;
    bool ok = false;
    try {
        ok = g_pFWUpdate->executeCmd(pszCmd, pszModule, pszThird, pszFourth, iFifth);
    } catch (...) {
        g_pFWUpdate->setErrorState(ES_Failed);
        g_pFWUpdate->setUpdateState(US_Error);
    }
    g_LogFile.Write("D:", ok ? "zeb_fw_update - Execute() success" : "zeb_fw_update - Execute() failure");
    return ok ? 0 : -1;
}

FWU_EXPORT Cancel()
{
    g_LogFile.Write("D:", "zeb_fw_update - Cancel()");
    if (EngineMissing("zeb_fw_update - Cancel(): FWUpdate class not created.")) return -1;
    g_pFWUpdate->cancel();
    return 0;
}

FWU_EXPORT UpdateState()
{
    return Poll("UpdateState", "zeb_fw_update - UpdateState(): FWUpdate class not created.", US_Error,
                [](FWUpdate& e) { return e.getUpdateState(); });
}

FWU_EXPORT ErrorState()
{
    return Poll("ErrorState", "zeb_fw_update - ErrorState(): FWUpdate class not created.", ES_Failed,
                [](FWUpdate& e) { return e.getErrorState(); });
}

FWU_EXPORT Progress()
{
    return Poll("Progress", "zeb_fw_update - Progress(): FWUpdate class not created.", -1,
                [](FWUpdate& e) { return e.getProgress(); });
}

FWU_EXPORT ProgressMax()
{
    return Poll("ProgressMax", "zeb_fw_update - ProgressMax(): FWUpdate class not created.", -1,
                [](FWUpdate& e) { return e.getProgressMax(); });
}

FWU_EXPORT Version()
{
    g_LogFile.Write("D:", "zeb_fw_update - Version()");
    return 3;
}

FWU_EXPORT DataOut()
{
    g_LogFile.Write("D:", "zeb_fw_update - DataOut()");
    return -1;
}

FWU_EXPORT DataOutMax()
{
    g_LogFile.Write("D:", "zeb_fw_update - DataOutMax()");
    return -1;
}

FWU_EXPORT UpdateVersion(char* pszText, int32_t iSize) { return TextUnsupported("UpdateVersion", pszText, iSize); }
FWU_EXPORT CurrentCmd(char* pszText, int32_t iSize) { return TextUnsupported("CurrentCmd", pszText, iSize); }
FWU_EXPORT DownloadPort(char* pszText, int32_t iSize) { return TextUnsupported("DownloadPort", pszText, iSize); }
FWU_EXPORT ErrorLine(char* pszText, int32_t iSize) { return TextUnsupported("ErrorLine", pszText, iSize); }

FWU_EXPORT ErrorMessage(int32_t iCode, char* pszText, int32_t iSize)
{
    g_LogFile.Write("D:", "zeb_fw_update - ErrorMessage(%d, '%s', %d)", iCode, HostText(pszText, iSize).c_str(), iSize);
    return -1;
}
