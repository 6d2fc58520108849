// The update engine behind the plug-in's exports: commands, the update worker, VCI operations.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "update_states.h"
#include "win32_sync.h"
#include "worker_thread.h"

class FWUpdate {
public:
    FWUpdate();
    virtual ~FWUpdate();
    FWUpdate(const FWUpdate&) = delete;
    FWUpdate& operator=(const FWUpdate&) = delete;

    bool initialize();
    // Init's answer while an engine that Free let go still runs: the states of a failed Init,
    // the runtime left alone.
    void refuseInitialize();
    // True while an engine that Free let go has not been destroyed yet.
    static bool freedEngineRemains();

    // Users of the engine: the export layer's reference, each export call in progress and the
    // worker. The last one to let go destroys the engine, on its own thread.
    void addRef();
    static void release(FWUpdate* pEngine);
    // Free's part: the engine counts as going away (Init refuses) until it is destroyed.
    void beginFree();
    // Stops the worker's following of an install and any synchronous install, and waits,
    // bounded, until the caller's reference is the only one left and the worker ended. False
    // when the time ran out: the engine is then destroyed by its last user.
    bool stopAndWait(DWORD dwMilliseconds);
    // Stops owning a worker that did not end; it keeps its own reference.
    void letWorkerGo();

    bool executeCmd(const char* pszCmd, const char* pszModule, const char* pszThird, const char* pszFourth,
                    int32_t iFifth);
    bool startUpdate();
    static void updateThread(void* pVoid, HANDLE hStop);
    bool cancel();
    void signalStop();
    int32_t getProgress();
    int32_t getProgressMax() const;

    int32_t getUpdateState() const;
    int32_t getErrorState() const;
    void setUpdateState(int32_t value);
    void setErrorState(int32_t value);
    bool isStopRequested() const;

    // VCI operations and diagnostics.
    int32_t connectToVCI(int32_t iSerialNumber, uint32_t uiInterface);
    int32_t findVCI(int32_t iSerialNumber, uint32_t uiInterface);
    // stopped, when given, ends the wait for the install (kInstallReleased); the states are then
    // left to the caller. A failed install sets US_Error and its mapped error state.
    enum EInstallOutcome { kInstallDone, kInstallFailed, kInstallReleased };
    EInstallOutcome installVCIApp(int32_t iSerialNumber, const char* pszName,
                                  const std::function<bool()>& stopped = std::function<bool()>());

private:
    void setStates(int32_t updateState, int32_t errorState);
    bool runCommand(const char* pszCmd);
    EInstallOutcome _doUpdate(HANDLE hStop);
    void finishWorker();
    void _uninitialize();

    // Target and compatibility.
    bool _readSerialNum(const char* pszSection);
    std::string _getPcAppVersion(const char* pszName);
    std::string _getAppCompatConfigPath();
    bool _isAppCompatible(const std::string& platformVersion, const std::string& appVersion);

    int32_t _findTargetVCI();
    int32_t _discoverModules();
    int32_t _discoverPcApps();
    int32_t _discoverVCIApps(int32_t iSerialNumber);
    int32_t _findPcApp(const char* pszName);
    int32_t _findVCIApp(int32_t iSerialNumber, const char* pszName);
    int32_t _uninstallVCIApp(int32_t iSerialNumber, const char* pszName);
    int32_t _startVciApplication(int32_t iSerialNumber, int32_t iAppId);
    int32_t _stopVciApplication(int32_t iSerialNumber, int32_t iAppId);
    std::string _getVciPlatformVersion(int32_t iSerialNumber);

    // Read whole by host threads and the worker without a lock. Writers take _stateLock so that
    // a pair of states is never mixed with another writer's pair.
    std::atomic<int32_t> _updateState;
    std::atomic<int32_t> _errorState;
    std::atomic<int32_t> _targetSerNum;
    std::atomic<int32_t> _updateSerNum;  // the running update's target
    CWorkerThread _hThread;              // the last worker started; guarded by _workerLock
    std::atomic<bool> _stopRequested;
    CMutex _stateLock;
    CMutex _workerLock;
    std::atomic<long> _refs;
    // Set by Cancel and Free: releases a synchronous install's wait.
    std::atomic<bool> _syncStop;
    // Set by Free: the engine is going away.
    std::atomic<bool> _shuttingDown;
    // Set by the worker once its final states are written.
    std::atomic<bool> _workerFinished;
    // This engine started the runtime (successfully or not) and must shut it down.
    bool _ownsRuntime;
    // Free has begun with this engine: counted in s_freedEngines until it is destroyed.
    bool _freed;
    static std::atomic<int> s_freedEngines;
};
