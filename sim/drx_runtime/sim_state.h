// The simulated runtime's process-wide state: scenario, connections, registrations, installs.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "drx_rt_api.h"
#include "scenario.h"
#include "win32_sync.h"

struct Registration {
    uint32_t mask = 0;
    DrxRtEventCallback callback = nullptr;
    void* context = nullptr;
};

class SimRuntime {
public:
    static SimRuntime& Get();

    // Reads the scenario named by ZANVI_DRX_SCENARIO, else the file beside this library.
    DrxRtResult Construct();
    DrxRtResult Destruct();

    // Records the call in the journal and answers an injected failure, if any (0 otherwise).
    DrxRtResult Enter(const char* entry, const std::string& args);
    std::string Journal();

    CMutex& Lock() { return m_lock; }
    bool Constructed() const { return m_constructed; }
    Scenario& World() { return m_scenario; }
    // The module a connection handle was opened to, or null.
    const SimModule* ConnectedModule(int32_t hVCI) const;
    const SimModule* FindModule(int32_t serial) const;
    int32_t OpenConnection(int32_t serial);
    bool CloseConnection(int32_t hVCI);
    bool SetRegistration(int32_t handle, const Registration& registration);

    // Queues the statuses of an install and reports them from a thread of the runtime.
    int32_t StartInstall(int32_t hVCI, const SimApp& app);
    bool PopInstallStatus(int32_t hInstall, DrxRtAppInstallStatus& status);
    // Calls the registration of the handle for the event (lock not held), waiting for it.
    void RaiseEvent(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent);

private:
    SimRuntime() = default;
    ~SimRuntime();
    static DWORD WINAPI InstallThread(void* param);
    void WaitForInstalls();

    CMutex m_lock;
    bool m_constructed = false;
    Scenario m_scenario;
    std::map<std::string, unsigned> m_calls;
    std::string m_journal;
    std::map<int32_t, int32_t> m_connections;  // handle -> serial
    int32_t m_nextHandle = 1;
    std::map<int32_t, Registration> m_registrations;
    std::map<int32_t, std::deque<DrxRtAppInstallStatus>> m_installQueues;
    int32_t m_nextInstall = 1;
    std::vector<HANDLE> m_threads;
    // Set by Destruct: running installs stop before their next status.
    HANDLE m_hEndInstalls = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};
