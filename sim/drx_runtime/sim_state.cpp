#include "sim_state.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const char kScenarioVariable[] = "ZANVI_DRX_SCENARIO";
const char kScenarioBeside[] = "drx_runtime.scenario";
const DWORD kThreadWaitMs = 10000;

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char*>(&ThisModule), &module);
    return module;
}

std::string ScenarioPath()
{
    char path[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA(kScenarioVariable, path, sizeof path);
    if (n > 0 && n < sizeof path) return path;
    n = GetModuleFileNameA(ThisModule(), path, sizeof path);
    if (n == 0 || n >= sizeof path) return std::string();
    std::string beside(path, n);
    return beside.substr(0, beside.find_last_of("\\/") + 1) + kScenarioBeside;
}

struct InstallJob {
    SimRuntime* runtime;
    int32_t hVCI;
    int32_t hInstall;
    SimApp app;
    unsigned components;
    unsigned errorAt;
    unsigned total;
    unsigned delayMs;
};

}  // namespace

SimRuntime& SimRuntime::Get()
{
    static SimRuntime runtime;
    return runtime;
}

// At unload the installs have ended (Destruct waits for them); waiting here, under the
// loader's lock, could only stall.
SimRuntime::~SimRuntime()
{
    for (HANDLE thread : m_threads) CloseHandle(thread);
    if (m_hEndInstalls) CloseHandle(m_hEndInstalls);
}

DrxRtResult SimRuntime::Construct()
{
    std::string path = ScenarioPath();
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    if (file) text << file.rdbuf();
    Scenario scenario;
    std::string error;
    // A scenario that is present but wrong is an error of the test set-up, not an empty world.
    if (file && !ParseScenario(text.str(), scenario, error)) {
        OutputDebugStringA(("drx_runtime: bad scenario " + path + " " + error + "\n").c_str());
        return DRX_RT_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard<CMutex> lock(m_lock);
    m_scenario = scenario;
    m_calls.clear();
    m_journal.clear();
    m_connections.clear();
    m_registrations.clear();
    m_installQueues.clear();
    m_constructed = true;
    return 0;
}

DrxRtResult SimRuntime::Destruct()
{
    SetEvent(m_hEndInstalls);
    WaitForInstalls();
    ResetEvent(m_hEndInstalls);
    std::lock_guard<CMutex> lock(m_lock);
    m_constructed = false;
    m_connections.clear();
    m_registrations.clear();
    return 0;
}

DrxRtResult SimRuntime::Enter(const char* entry, const std::string& args)
{
    DWORD pauseMs = 0;
    DrxRtResult result = 0;
    {
        // Journaled on entry, so that a test sees a call that is still in its pause.
        std::lock_guard<CMutex> lock(m_lock);
        m_journal += entry;
        if (!args.empty()) m_journal += " " + args;
        m_journal += "\n";
        unsigned call = ++m_calls[entry];
        auto failure = m_scenario.failures.find(entry);
        if (failure != m_scenario.failures.end() && call > failure->second.after) result = failure->second.code;
        auto pause = m_scenario.pausesMs.find(entry);
        if (pause != m_scenario.pausesMs.end()) pauseMs = pause->second;
    }
    // A slow runtime: the caller waits, other threads carry on.
    if (pauseMs) Sleep(pauseMs);
    return result;
}

std::string SimRuntime::Journal()
{
    std::lock_guard<CMutex> lock(m_lock);
    return m_journal;
}

const SimModule* SimRuntime::FindModule(int32_t serial) const
{
    for (const SimModule& m : m_scenario.modules)
        if (m.serial == serial) return &m;
    return nullptr;
}

const SimModule* SimRuntime::ConnectedModule(int32_t hVCI) const
{
    auto it = m_connections.find(hVCI);
    return it == m_connections.end() ? nullptr : FindModule(it->second);
}

int32_t SimRuntime::OpenConnection(int32_t serial)
{
    int32_t handle = m_nextHandle++;
    m_connections[handle] = serial;
    return handle;
}

bool SimRuntime::CloseConnection(int32_t hVCI)
{
    m_registrations.erase(hVCI);
    return m_connections.erase(hVCI) == 1;
}

bool SimRuntime::SetRegistration(int32_t handle, const Registration& registration)
{
    if (handle != DRX_RT_RUNTIME_HANDLE && m_connections.count(handle) == 0) return false;
    if (registration.callback == nullptr || registration.mask == 0)
        m_registrations.erase(handle);
    else
        m_registrations[handle] = registration;
    return true;
}

int32_t SimRuntime::StartInstall(int32_t hVCI, const SimApp& app)
{
    int32_t hInstall = m_nextInstall++;
    m_installQueues[hInstall];
    const unsigned total = m_scenario.installTotal ? m_scenario.installTotal : m_scenario.installComponents;
    InstallJob* job = new InstallJob{this,  hVCI, hInstall, app, m_scenario.installComponents, m_scenario.installErrorAt,
                                     total, m_scenario.eventDelayMs};
    HANDLE thread = CreateThread(nullptr, 0, InstallThread, job, 0, nullptr);
    if (!thread) {
        delete job;
        return 0;
    }
    m_threads.push_back(thread);
    return hInstall;
}

DWORD WINAPI SimRuntime::InstallThread(void* param)
{
    InstallJob* job = static_cast<InstallJob*>(param);
    SimRuntime& rt = *job->runtime;
    for (unsigned i = 1; i <= job->components; ++i) {
        if (WaitForSingleObject(rt.m_hEndInstalls, job->delayMs) == WAIT_OBJECT_0) break;
        DrxRtAppInstallStatus status = {};
        bool failed = i == job->errorAt;
        status.iStatus = failed ? DRX_RT_INSTALL_ERROR : (i == job->components ? DRX_RT_INSTALL_COMPLETE
                                                                                : DRX_RT_INSTALL_IN_PROCESS);
        status.uiComponent = i;
        status.uiTotal = job->total;
        std::strncpy(status.szAppName, job->app.name.c_str(), sizeof status.szAppName - 1);
        {
            std::lock_guard<CMutex> lock(rt.m_lock);
            rt.m_installQueues[job->hInstall].push_back(status);
            if (status.iStatus == DRX_RT_INSTALL_COMPLETE) {
                // The installed application now lives on the VCI.
                auto conn = rt.m_connections.find(job->hVCI);
                if (conn != rt.m_connections.end()) {
                    std::vector<SimApp>& apps = rt.m_scenario.vciApps[conn->second];
                    auto same = std::find_if(apps.begin(), apps.end(), [&](const SimApp& a) {
                        return _stricmp(a.name.c_str(), job->app.name.c_str()) == 0;
                    });
                    SimApp installed = job->app;
                    installed.id = 1;
                    for (const SimApp& a : apps) installed.id = std::max(installed.id, a.id + 1);
                    if (same != apps.end()) {
                        installed.id = same->id;
                        *same = installed;
                    } else {
                        apps.push_back(installed);
                    }
                }
            }
        }
        rt.RaiseEvent(job->hVCI, DRX_RT_APP_MGT_EVT, DRX_RT_APP_MGT_EVT_REPRO);
        if (failed) break;
    }
    delete job;
    return 0;
}

bool SimRuntime::PopInstallStatus(int32_t hInstall, DrxRtAppInstallStatus& status)
{
    auto queue = m_installQueues.find(hInstall);
    if (queue == m_installQueues.end() || queue->second.empty()) return false;
    status = queue->second.front();
    queue->second.pop_front();
    return true;
}

void SimRuntime::RaiseEvent(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent)
{
    Registration registration;
    {
        std::lock_guard<CMutex> lock(m_lock);
        auto it = m_registrations.find(hVCI);
        if (it == m_registrations.end() || (it->second.mask & uiEvent) == 0) return;
        registration = it->second;
    }
    registration.callback(hVCI, uiEvent, uiSubEvent, registration.context);
}

void SimRuntime::WaitForInstalls()
{
    std::vector<HANDLE> threads;
    {
        std::lock_guard<CMutex> lock(m_lock);
        threads.swap(m_threads);
    }
    for (HANDLE thread : threads) {
        if (GetThreadId(thread) != GetCurrentThreadId()) WaitForSingleObject(thread, kThreadWaitMs);
        CloseHandle(thread);
    }
}
