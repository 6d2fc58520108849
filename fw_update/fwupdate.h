// The update engine behind the plug-in's exports: commands, the update worker, VCI operations.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "update_states.h"

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
    static DWORD WINAPI updateThread(LPVOID pVoid);
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
    bool installVCIApp(int32_t iSerialNumber, const char* pszName);

private:
    void setStates(int32_t updateState, int32_t errorState);
    bool runCommand(const char* pszCmd);
    bool _doUpdate();
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

    // Written and read whole by host threads and the worker without a lock; last writer wins.
    std::atomic<int32_t> _updateState;
    std::atomic<int32_t> _errorState;
    std::atomic<int32_t> _targetSerNum;
    HANDLE _hThread;
    std::atomic<bool> _stopRequested;
};
