// The one wrapper of the DRX VCI runtime in this process: lifecycle, VCI operations, events.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/recursive_mutex.hpp>

#include "drx_rt_api.h"

typedef std::map<int32_t, DrxRtModuleInfo> ModuleMap;
typedef std::vector<DrxRtPCAppItem> PCAppList;
typedef std::vector<DrxRtVCIAppItem> VCIAppList;

// Install figures of the runtime: written by the event handler, read by the engine's progress.
extern std::atomic<uint32_t> g_uiTotalInstallComponents;
extern std::atomic<uint32_t> g_uiCurrentInstallComponent;

// Console control handler installed with the runtime: traces the event and reports it handled.
BOOL WINAPI CtrlHandler(DWORD dwCtrlType);

// The common platform version of a connected VCI: the version of the server item "DRX Product
// Version" (the last such item) in its version information, traced with all items; empty when
// the runtime answers none. The runtime must be bound.
std::string ReadCommonPlatformVersion(int32_t hVCI, int32_t iSerialNumber);

class CDrxRuntime {
public:
    typedef void (*ClientNotification)(uint32_t uiEvent);

    // How long an install may take before the wait gives up.
    static const DWORD kInstallTimeoutMs = 30 * 60 * 1000;
    // How often a waiting install asks its stop: the stop needs no lock to reach the waiter.
    static const DWORD kInstallStopPollMs = 20;
    // InstallVciApp's result when its stop ended the wait (or came before the start). The
    // runtime's install goes on: it has no call to stop one.
    static const int32_t kInstallStopped = -2;
    // InstallVciApp's result while an earlier install has not reported its end: one VCI is
    // never given a second install at once.
    static const int32_t kInstallBusy = -3;
    // True once the caller no longer wants to wait; asked while waiting, never under a lock
    // that anyone else needs.
    typedef std::function<bool()> StopQuery;

    static CDrxRuntime& Instance();

    int32_t Initialize();
    int32_t Uninitialize();
    bool IsConnected() const;

    int32_t Connect(int32_t iSerialNumber, uint32_t uiInterface);
    int32_t Disconnect(bool bWaitForWrites);
    int32_t GetModuleList(ModuleMap& modules);
    int32_t GetAppsListPC(PCAppList& apps);
    int32_t GetAppsListVci(int32_t iSerialNumber, VCIAppList& apps);
    int32_t StartApplication(int32_t iAppId);
    int32_t StopApplication(int32_t iAppId);
    // Waits for the runtime's report of the install's end, at most kInstallTimeoutMs; stopped
    // (may be empty) ends the wait early, within kInstallStopPollMs.
    int32_t InstallVciApp(const char* pszName, const StopQuery& stopped = StopQuery());
    // Has a waiting install ask its stop at once. Takes no lock that a runtime call holds: a
    // wake-up lost between the waiter's test and its wait is made good by its next slice.
    void WakeInstallWait();
    // An install was started and has not reported its end yet (whether or not anyone waits).
    bool InstallInProgress() const { return m_bInstallBusy; }
    int32_t UnnstallVciApp(const char* pszName);
    void GetCommonPlatformVersion(std::string& version);
    uint32_t GetCurrentAppInstallComponent();
    uint32_t GetTotalAppInstallComponents();

    // Runtime events of a connection (called on the runtime's threads).
    void DrxRtCbFn(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent);

private:
    CDrxRuntime();
    ~CDrxRuntime();
    CDrxRuntime(const CDrxRuntime&) = delete;
    CDrxRuntime& operator=(const CDrxRuntime&) = delete;

    static void DRXRT_CALL EventEntry(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent, void* pContext);
    int32_t LoadRuntimeLibrary();
    void OnInstallProgress();
    // Ends the running install with a result (under the install lock).
    void EndInstall(int32_t result);
    void OnStorageProgress(int32_t hVCI);
    void NotifyClient(uint32_t uiEvent);

    ClientNotification m_pfnClientNotification;
    uint32_t m_uiClientEventMask;
    std::atomic<int32_t> m_installHandle;
    boost::condition_variable_any m_pendingWritesCond;
    boost::recursive_mutex m_pendingWritesLock;
    boost::condition_variable_any m_installCond;
    boost::recursive_mutex m_installLock;
    std::map<int32_t, DrxRtClientAccessStatus> m_pendingWrites;
    std::atomic<bool> m_bInitialized;
    std::atomic<int32_t> m_hVCI;
    std::atomic<int32_t> m_connectedSerNum;
    // Outcome of the running install, set by the event handler under the install lock.
    bool m_bInstallEnded;
    // From the runtime's acceptance of an install to its reported end (or the runtime's end).
    std::atomic<bool> m_bInstallBusy;
    int32_t m_installResult;
    bool m_bCtrlHandlerInstalled;
};
