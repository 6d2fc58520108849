// FWUpdate: command interpretation, the update worker, progress, start and shutdown.
#include "fwupdate.h"

#include <cstring>

#include "drx_runtime.h"
#include "log_file.h"
#include "rt_codes.h"

namespace {

const char kApp[] = "zvci";
// How long an update command waits for a worker that has written its final states to end.
const DWORD kWorkerEndGraceMs = 500;
// The longest host text that names a command or a section: far beyond any real one, well
// within what the platform's profile reader takes.
const size_t kMaxHostText = 255;

const char* OrNull(const char* text) { return text ? text : "(null)"; }

// True, with a trace naming the argument, when a host text is longer than kMaxHostText.
bool TooLong(const char* text, const char* name)
{
    if (strnlen(text, kMaxHostText + 1) <= kMaxHostText) return false;
    g_LogFile.Write("E:", "FWUpdate::executeCmd() - %s longer than %d characters", name, static_cast<int>(kMaxHostText));
    return true;
}

bool AsciiEqualNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y) return false;
    }
    return *a == *b;
}

}  // namespace

std::atomic<int> FWUpdate::s_freedEngines{0};

FWUpdate::FWUpdate()
    : _updateState(US_Idle),
      _errorState(ES_NoError),
      _targetSerNum(0),
      _updateSerNum(0),
      _stopRequested(false),
      _refs(1),
      _syncStop(false),
      _shuttingDown(false),
      _workerFinished(false),
      _ownsRuntime(false),
      _freed(false)
{
}

FWUpdate::~FWUpdate()
{
    if (_ownsRuntime) _uninitialize();
    if (_freed) --s_freedEngines;
}

void FWUpdate::addRef() { ++_refs; }

void FWUpdate::release(FWUpdate* pEngine)
{
    if (pEngine && --pEngine->_refs == 0) delete pEngine;
}

bool FWUpdate::freedEngineRemains() { return s_freedEngines > 0; }

void FWUpdate::refuseInitialize()
{
    g_LogFile.Write("E:", "FWUpdate::initialize() - an engine that Free let go still uses the runtime");
    setStates(US_Error, ES_Failed);
}

bool FWUpdate::initialize()
{
    _ownsRuntime = true;
    int32_t r = CDrxRuntime::Instance().Initialize();
    if (r != 0) {
        g_LogFile.Write("E:", "FWUpdate::initialize() - Orbal Runtime Error [0x%X]", static_cast<unsigned>(r));
        setErrorState(rtErrorCodeToErrorState(r));
        setUpdateState(US_Error);
        return false;
    }
    g_LogFile.Write("I:", "FWUpdate::initialize() - DRX Runtime Initialized");
    // A retried Init must not leave the states of the failed one behind.
    setStates(US_Idle, ES_NoError);
    return true;
}

bool FWUpdate::executeCmd(const char* pszCmd, const char* pszModule, const char* pszThird, const char* pszFourth,
                          int32_t /*iFifth*/)
{
    if (!pszCmd) {
        g_LogFile.Write("E:", "FWUpdate::executeCmd() - pszCmd == NULL");
        setStates(US_Error, ES_ParamNotSet);
        return false;
    }
    if (!pszModule) {
        g_LogFile.Write("E:", "FWUpdate::executeCmd() - pszModule == NULL");
        setStates(US_Error, ES_ParamNotSet);
        return false;
    }
    // Bounded before anything else sees them: the platform's profile reader fails badly on
    // section names of tens of thousands of characters.
    if (TooLong(pszCmd, "pszCmd") || TooLong(pszModule, "pszModule")) {
        setStates(US_Error, ES_ParamError);
        return false;
    }
    g_LogFile.Write("D:", "FWUpdate::executeCmd('%s', '%s', '%s', '%s')", pszCmd, pszModule, OrNull(pszThird),
                    OrNull(pszFourth));
    if (!_readSerialNum(pszModule)) return false;
    g_LogFile.Write("I:", "FWUpdate::executeCmd() - _targetSerNum=%d", static_cast<int>(_targetSerNum));
    if (_targetSerNum == 0) {
        setStates(US_Error, ES_ModuleId);
        return false;
    }
    return runCommand(pszCmd);
}

bool FWUpdate::runCommand(const char* pszCmd)
{
    const int32_t serial = _targetSerNum;
    // Diagnostic rows report through their trace lines and end Ready whatever they found.
    struct Row {
        const char* name;
        bool working;
        void (*steps)(FWUpdate& engine, int32_t serial);
    };
    static const Row kRows[] = {
        {"discoverPCApps (debug)", false, [](FWUpdate& e, int32_t) { e._discoverPcApps(); }},
        {"connectToVci (debug)", false, [](FWUpdate& e, int32_t s) { e.connectToVCI(s, DRX_RT_IF_USB); }},
        {"discoverVCIApps (debug)", false, [](FWUpdate& e, int32_t s) { e._discoverVCIApps(s); }},
        {"discoverModules (debug)", false, [](FWUpdate& e, int32_t) { e._discoverModules(); }},
        {"findZEBAppOnPC (debug)", false, [](FWUpdate& e, int32_t) { e._findPcApp(kApp); }},
        {"findZEBAppOnVCI (debug)", false, [](FWUpdate& e, int32_t s) { e._findVCIApp(s, kApp); }},
        {"uninstallZEBApp (debug)", false, [](FWUpdate& e, int32_t s) { e._uninstallVCIApp(s, kApp); }},
        {"getZebAppVerOnPc (debug)", true,
         [](FWUpdate& e, int32_t) {
             std::string v = e._getPcAppVersion(kApp);
             g_LogFile.Write("D:", "%s app version='%s'", kApp, v.c_str());
         }},
        {"getVciPlatformVer (debug)", true,
         [](FWUpdate& e, int32_t s) {
             std::string v = e._getVciPlatformVersion(s);
             g_LogFile.Write("D:", "Common Platform version='%s'", v.c_str());
         }},
        {"stopZebAppOnVci (debug)", true,
         [](FWUpdate& e, int32_t s) {
             int32_t id = e._findVCIApp(s, kApp);
             e.connectToVCI(s, DRX_RT_IF_USB);
             e._stopVciApplication(s, id);
         }},
        {"startZebAppOnVci (debug)", true,
         [](FWUpdate& e, int32_t s) {
             int32_t id = e._findVCIApp(s, kApp);
             e.connectToVCI(s, DRX_RT_IF_USB);
             e._startVciApplication(s, id);
         }},
    };
    for (const Row& row : kRows) {
        if (!AsciiEqualNoCase(pszCmd, row.name)) continue;
        if (row.working) setStates(US_Working, ES_NoError);
        row.steps(*this, serial);
        setStates(US_Ready, ES_NoError);
        return true;
    }
    if (AsciiEqualNoCase(pszCmd, "installZEBApp (debug)")) {
        setStates(US_Working, ES_NoError);
        _syncStop = false;
        // A successful install ends Ready like every other finished command; a failed one has
        // already set US_Error and its mapped error state. Cancel and Free release the host's
        // thread; the runtime's install goes on and no other starts before it has ended.
        EInstallOutcome outcome = installVCIApp(serial, kApp, [this] { return _syncStop || _shuttingDown; });
        if (outcome == kInstallDone) setStates(US_Ready, ES_NoError);
        if (outcome == kInstallReleased)
            g_LogFile.Write("E:", "FWUpdate::executeCmd() - no longer waiting for the install; the runtime goes on with it");
        return true;
    }
    if (AsciiEqualNoCase(pszCmd, "FWUpdate") || AsciiEqualNoCase(pszCmd, "FWforceupdate")) return startUpdate();
    setStates(US_Error, ES_UnknownCmd);
    return false;
}

bool FWUpdate::startUpdate()
{
    std::lock_guard<CMutex> lock(_workerLock);
    int32_t state = getUpdateState();
    // One worker and one install at a time, whatever the states show: a cancelled or refused
    // update may still follow its install, and a released diagnostic install may still run. A
    // worker that has written its final states ends within a moment.
    bool busy = state == US_Init || state == US_Working || _shuttingDown ||
                (!_hThread.Join(0) && !(_workerFinished && _hThread.Join(kWorkerEndGraceMs))) ||
                CDrxRuntime::Instance().InstallInProgress();
    if (busy) {
        setStates(US_Error, ES_DLActive);
        return false;
    }
    setStates(US_Init, ES_NoError);
    _stopRequested = false;
    _workerFinished = false;
    // The worker keeps its own copy: a command given while it runs reads the host INI file
    // again and must not retarget (or zero) the update in progress.
    _updateSerNum = _targetSerNum.load();
    addRef();  // the worker's, let go by finishWorker
    if (!_hThread.Start(updateThread, this)) {
        --_refs;
        setStates(US_Error, ES_Failed);
        return false;
    }
    return true;
}

void FWUpdate::updateThread(void* pVoid, HANDLE hStop)
{
    g_LogFile.Write("I:", "FWUpdate::updateThread() - started");
    if (!pVoid) {
        g_LogFile.Write("E:", "FWUpdate::updateThread() - pVoid==NULL");
        return;
    }
    FWUpdate& engine = *static_cast<FWUpdate*>(pVoid);
    // Marked finished before its final states go out: a command that sees them waits for this
    // thread's end instead of finding it still running.
    auto endWith = [&engine](int32_t update, int32_t error) {
        engine._workerFinished = true;
        engine.setStates(update, error);
    };
    try {
        engine.setUpdateState(US_Working);
        bool canceled = engine.isStopRequested();
        if (!canceled) {
            if (engine._findTargetVCI() != 0) {
                endWith(US_Error, ES_ModuleId);
            } else if (!(canceled = engine.isStopRequested())) {
                // From here on a Cancel only shows at once; the real end replaces it.
                switch (engine._doUpdate(hStop)) {
                case kInstallDone: endWith(US_Ready, ES_NoError); break;
                case kInstallFailed:  // its reason is set
                    engine._workerFinished = true;
                    engine.setUpdateState(US_Error);
                    break;
                case kInstallReleased:
                    g_LogFile.Write("E:", "FWUpdate::updateThread() - engine freed: no longer following the install.");
                    break;
                }
            }
        }
        if (canceled) {
            g_LogFile.Write("E:", "FWUpdate::updateThread() - udpate canceled.");
            endWith(US_Canceled, ES_NoError);
        }
    } catch (...) {
        // Nothing may escape a thread; the host sees a failed update.
        endWith(US_Error, ES_Failed);
        g_LogFile.Write("E:", "FWUpdate::updateThread() - exception: the update ends as failed");
    }
    int32_t u = engine.getUpdateState();
    int32_t e = engine.getErrorState();
    g_LogFile.Write("I:", "FWUpdate::updateThread() - exiting\n\tUpdate state=%d [%s]\n\tError state=%d [%s]",
                    static_cast<int>(u), UpdateStateName(u), static_cast<int>(e), ErrorStateName(e));
    engine.finishWorker();
}

// The worker's last touch of the engine: if Free gave the engine up, this may destroy it, on
// this thread, before the thread lets go of the library.
void FWUpdate::finishWorker()
{
    _workerFinished = true;
    release(this);
}

FWUpdate::EInstallOutcome FWUpdate::_doUpdate(HANDLE hStop)
{
    int32_t r = connectToVCI(_updateSerNum, DRX_RT_IF_USB);
    if (r != 0) {
        setErrorState(rtErrorCodeToErrorState(r));
        setUpdateState(US_Error);
        return kInstallFailed;
    }
    std::string platform = _getVciPlatformVersion(_updateSerNum);
    g_LogFile.Write("D:", "Platform version=%s", platform.c_str());
    std::string app = _getPcAppVersion(kApp);
    g_LogFile.Write("D:", "Version of '%s' app=%s", kApp, app.c_str());
    bool ok = _isAppCompatible(platform, app);
    g_LogFile.Write("D:", "platform v%s compatible with '%s' app version %s? %s", platform.c_str(), kApp, app.c_str(),
                    ok ? "YES" : "NO");
    if (!ok) {
        g_LogFile.Write("E:", "%s version %s is not compatible with Common Platform version %s. Aborting update.", kApp,
                        app.c_str(), platform.c_str());
        setStates(US_Error, ES_VersionConflict);
        return kInstallFailed;
    }
    // Only Free (the worker's stop event) ends the following of the install.
    return installVCIApp(_updateSerNum, kApp, [hStop] { return WaitForSingleObject(hStop, 0) == WAIT_OBJECT_0; });
}

bool FWUpdate::cancel()
{
    signalStop();
    setUpdateState(US_Canceled);
    return true;
}

// Seen by the worker at its checkpoints and by a synchronous install; takes no lock.
void FWUpdate::signalStop()
{
    g_LogFile.Write("E:", "FWUpdate::signalStop()");
    _stopRequested = true;
    _syncStop = true;
    CDrxRuntime::Instance().WakeInstallWait();
}

bool FWUpdate::stopAndWait(DWORD dwMilliseconds)
{
    _shuttingDown = true;
    _stopRequested = true;
    _syncStop = true;
    const ULONGLONG deadline = GetTickCount64() + dwMilliseconds;
    {
        std::lock_guard<CMutex> lock(_workerLock);
        _hThread.RequestStop();
    }
    CDrxRuntime::Instance().WakeInstallWait();
    // Short steps: the worker's end is the usual wait, and Free is timed by its host.
    while (_refs > 1 && GetTickCount64() < deadline) Sleep(1);
    if (_refs > 1) return false;
    ULONGLONG now = GetTickCount64();
    std::lock_guard<CMutex> lock(_workerLock);
    return _hThread.Join(now < deadline ? static_cast<DWORD>(deadline - now) : 0);
}

void FWUpdate::beginFree()
{
    _freed = true;
    ++s_freedEngines;
}

void FWUpdate::letWorkerGo()
{
    std::lock_guard<CMutex> lock(_workerLock);
    _hThread.GiveUp();
}

int32_t FWUpdate::getProgress()
{
    CDrxRuntime& runtime = CDrxRuntime::Instance();
    uint32_t current = runtime.GetCurrentAppInstallComponent();
    uint32_t total = runtime.GetTotalAppInstallComponents();
    if (total == 0 || current == 0) return 0;
    if (getUpdateState() == US_Ready) return 100;
    // A runtime that reports more components than its total must not push the figure past 100.
    if (current > total) current = total;
    return static_cast<int32_t>((100u / total) * (current - 1u));
}

int32_t FWUpdate::getProgressMax() const { return 100; }

// Runs on the thread of the engine's last user: Free's, or the worker's or a host call's when
// Free gave the engine up.
void FWUpdate::_uninitialize()
{
    CDrxRuntime& runtime = CDrxRuntime::Instance();
    if (runtime.IsConnected()) {
        g_LogFile.Write("I:", "FWUpdate::_uninitialize() - disconnecting from module...");
        int32_t r = runtime.Disconnect(true);
        if (r == 0) {
            g_LogFile.Write("D:", "FWUpdate::_uninitialize() - Module Disconnected");
        } else {
            g_LogFile.Write("E:", "FWUpdate::_uninitialize() - Error Disconnecting from Module [0x%X]",
                            static_cast<unsigned>(r));
            rtErrorCodeToErrorState(r);
        }
    }
    int32_t r = runtime.Uninitialize();
    if (r == 0) {
        g_LogFile.Write("I:", "FWUpdate::_uninitialize() - Orbal Runtime Uninitialized");
    } else {
        g_LogFile.Write("E:", "FWUpdate::_uninitialize() - Orbal Runtime Error [0x%X]", static_cast<unsigned>(r));
        rtErrorCodeToErrorState(r);
    }
}
