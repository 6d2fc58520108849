// The update engine behind the plug-in's exports: commands, the update worker, VCI operations.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
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
    bool executeCmd(const char* pszCmd, const char* pszModule, const char* pszThird, const char* pszFourth,
                    int32_t iFifth);
    bool startUpdate();
    static void updateThread(void* pVoid, HANDLE hStop);
    bool cancel();
    void signalStop();
    // Signals a stop and waits, bounded, for the worker to end. False when it did not end in
    // time: it still uses the engine and the runtime, so both must be left as they are.
    bool stopWorker();
    bool workerEnded();
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
    // hStop, when given, ends the wait for the install; the states are then left to the caller.
    bool installVCIApp(int32_t iSerialNumber, const char* pszName, HANDLE hStop = nullptr);

private:
    void setStates(int32_t updateState, int32_t errorState);
    bool runCommand(const char* pszCmd);
    bool _doUpdate(HANDLE hStop);
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
};
