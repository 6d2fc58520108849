// The sixteen exports the update application calls: each traces and forwards to the one engine.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "fwupdate.h"
#include "log_file.h"
#include "worker_thread.h"

#define FWU_EXPORT extern "C" int32_t __cdecl

namespace {

// Free's waits, within its stated 10 s with room for the way out: for the runtime call in
// progress or another host call inside the engine, then for the runtime's shutdown. Past them
// the engine is left to whoever still uses it, who destroys it when done.
const DWORD kFreeWaitMs = 9900;

// Guards only the reading and swapping of g_pFWUpdate together with taking a reference: it is
// never held across a runtime call or a wait.
CMutex g_engineLock;
FWUpdate* g_pFWUpdate = nullptr;

// One export call's reference to the engine: Free never destroys it under the call.
class EngineCall {
public:
    EngineCall()
    {
        std::lock_guard<CMutex> lock(g_engineLock);
        m_pEngine = g_pFWUpdate;
        if (m_pEngine) m_pEngine->addRef();
    }
    ~EngineCall() { FWUpdate::release(m_pEngine); }
    EngineCall(const EngineCall&) = delete;
    EngineCall& operator=(const EngineCall&) = delete;
    FWUpdate* operator->() const { return m_pEngine; }
    FWUpdate& operator*() const { return *m_pEngine; }
    explicit operator bool() const { return m_pEngine != nullptr; }

private:
    FWUpdate* m_pEngine;
};

void ReleaseEngine(void* pEngine, HANDLE /*hStop*/) { FWUpdate::release(static_cast<FWUpdate*>(pEngine)); }

// Lets go of Free's reference on a thread of its own: when it is the last one, the engine's
// destruction (disconnect, runtime shutdown) runs there, so that a runtime call that does not
// return keeps only that thread, which keeps this library loaded until it has finished. False
// when it did not finish within the time given.
bool ReleaseWithin(FWUpdate* pEngine, DWORD dwMilliseconds)
{
    CWorkerThread cleanup(0);
    if (!cleanup.Start(ReleaseEngine, pEngine)) {
        FWUpdate::release(pEngine);
        return true;
    }
    return cleanup.Join(dwMilliseconds);
}

// Up to size bytes of a host buffer, which need not be terminated; "NULL" for no buffer.
std::string HostText(const char* text, int32_t size)
{
    if (!text) return "NULL";
    return std::string(text, strnlen(text, size > 0 ? static_cast<size_t>(size) : 0));
}

// The text exports this plug-in does not support: traced, the buffer never written.
int32_t TextUnsupported(const char* name, const char* text, int32_t size)
{
    try {
        g_LogFile.Write("D:", "zeb_fw_update - %s('%s', %d)", name, HostText(text, size).c_str(), size);
    } catch (...) {
    }
    return -1;
}

bool EngineMissing(const EngineCall& engine, const char* message)
{
    if (engine) return false;
    g_LogFile.Write("E:", "%s", message);
    return true;
}

// Reads one polled value with its entry and leaving lines.
template <class Read>
int32_t Poll(const char* name, const char* missing, int32_t missingValue, Read read)
{
    try {
        g_LogFile.Write("D:", "zeb_fw_update - %s()", name);
        EngineCall engine;
        if (EngineMissing(engine, missing)) return missingValue;
        int32_t value = read(*engine);
        g_LogFile.Write("D:", "zeb_fw_update - %s() leaving", name);
        return value;
    } catch (...) {
        return missingValue;
    }
}

}  // namespace

FWU_EXPORT Init()
{
    try {
        g_LogFile.Write("D:", "zeb_fw_update - Init()");
        {
            // A second Init keeps the engine it has; its runtime refuses to start twice.
            std::lock_guard<CMutex> lock(g_engineLock);
            if (!g_pFWUpdate) g_pFWUpdate = new (std::nothrow) FWUpdate();
        }
        EngineCall engine;
        if (!engine) {
            g_LogFile.Write("E:", "Init(): creation of FWUpdate failed.");
        } else if (FWUpdate::freedEngineRemains()) {
            // Kept like the engine of any failed Init; a later Init starts the runtime afresh.
            g_LogFile.Write("E:", "Init(): an earlier update is still inside the runtime.");
            engine->refuseInitialize();
        } else if (engine->initialize()) {
            g_LogFile.Write("D:", "zeb_fw_update - leaving init with success");
            return 0;
        }
        g_LogFile.Write("D:", "zeb_fw_update - leaving init with failure");
    } catch (...) {
    }
    return -1;
}

FWU_EXPORT Free()
{
    try {
        const ULONGLONG start = GetTickCount64();
        g_LogFile.Write("D:", "zeb_fw_update - Free()");
        FWUpdate* pEngine = nullptr;
        {
            std::lock_guard<CMutex> lock(g_engineLock);
            pEngine = g_pFWUpdate;
            g_pFWUpdate = nullptr;
        }
        if (!pEngine) {
            g_LogFile.Write("E:", "zeb_fw_update - Free(): FWUpdate class not created.");
            return -1;
        }
        // Counted as going away until destroyed: Init fails meanwhile.
        pEngine->beginFree();
        if (pEngine->stopAndWait(kFreeWaitMs)) {
            ULONGLONG spent = GetTickCount64() - start;
            if (!ReleaseWithin(pEngine, spent < kFreeWaitMs ? static_cast<DWORD>(kFreeWaitMs - spent) : 0))
                g_LogFile.Write("E:", "zeb_fw_update - Free(): the runtime did not shut down in time; left to finish on its own.");
            return 0;
        }
        // A worker stuck in a runtime call, or another host call inside the engine, still uses
        // the engine and the runtime: the last of them destroys both, on its own thread.
        g_LogFile.Write("E:", "zeb_fw_update - Free(): worker did not end; engine and runtime left to it.");
        pEngine->letWorkerGo();
        ReleaseWithin(pEngine, 0);
    } catch (...) {
    }
    return 0;
}

FWU_EXPORT Execute(const char* pszCmd, const char* pszModule, const char* pszThird, const char* pszFourth,
                   int32_t iFifth)
{
    bool ok = false;
    try {
        g_LogFile.Write("D:", "zeb_fw_update - Execute()");
        EngineCall engine;
        if (EngineMissing(engine, "zeb_fw_update - Execute(): FWUpdate class not created.")) return -1;
        try {
            ok = engine->executeCmd(pszCmd, pszModule, pszThird, pszFourth, iFifth);
        } catch (...) {
            engine->setErrorState(ES_Failed);
            engine->setUpdateState(US_Error);
            g_LogFile.Write("E:", "zeb_fw_update - Execute(): exception; the command ends as failed");
        }
        g_LogFile.Write("D:", ok ? "zeb_fw_update - Execute() success" : "zeb_fw_update - Execute() failure");
    } catch (...) {
    }
    return ok ? 0 : -1;
}

FWU_EXPORT Cancel()
{
    try {
        g_LogFile.Write("D:", "zeb_fw_update - Cancel()");
        EngineCall engine;
        if (EngineMissing(engine, "zeb_fw_update - Cancel(): FWUpdate class not created.")) return -1;
        engine->cancel();
    } catch (...) {
    }
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
    try {
        g_LogFile.Write("D:", "zeb_fw_update - ErrorMessage(%d, '%s', %d)", iCode, HostText(pszText, iSize).c_str(),
                        iSize);
    } catch (...) {
    }
    return -1;
}
