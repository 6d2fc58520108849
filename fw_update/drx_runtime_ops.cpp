// CDrxRuntime's operations on a VCI: connection, lists, applications, install, versions.
#include <cstring>
#include <memory>
#include <new>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "drx_rt_loader.h"
#include "drx_runtime.h"
#include "log_file.h"
#include "rt_codes.h"
#include "rt_format.h"

namespace {

// Install progress, storage writes, and the runtime's event 4.
const uint32_t kConnectionEvents = DRX_RT_APP_MGT_EVT | DRX_RT_SD_MGT_EVT | 0x4;
const DWORD kWriteWaitPasses = 10;
const DWORD kWriteWaitStepMs = 1000;

// A reply buffer of exactly the size the runtime asked for, zero-filled.
struct Reply {
    std::unique_ptr<char[]> data;
    uint32_t size = 0;
    bool outOfMemory = false;

    bool Allocate(uint32_t bytes)
    {
        data.reset(new (std::nothrow) char[bytes ? bytes : 1]);
        outOfMemory = !data;
        if (!data) return false;
        std::memset(data.get(), 0, bytes ? bytes : 1);
        size = bytes;
        return true;
    }
};

// Asks for the size, then for the data. -1, with outOfMemory set, when the buffer cannot be had.
template <class Fetch>
int32_t FetchReply(Fetch fetch, Reply& reply)
{
    uint32_t size = 0;
    int32_t r = fetch(&size, nullptr);
    if (r != DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE) return r;
    if (!reply.Allocate(size)) return -1;
    return fetch(&size, reply.data.get());
}

// True when count records of T at p lie wholly inside the reply (a runtime's word is not trusted).
template <class T>
bool InReply(const char* base, size_t size, const T* p, size_t count)
{
    uintptr_t b = reinterpret_cast<uintptr_t>(base);
    uintptr_t q = reinterpret_cast<uintptr_t>(p);
    if (q < b || q - b > size) return false;
    return count <= (size - (q - b)) / sizeof(T);
}

// Copies the records of a list reply; false when the reply is malformed. No buffer: no records.
template <class List, class Item, class Sink>
bool ReadList(const Reply& reply, Sink sink)
{
    if (!reply.data) return true;
    if (reply.size < sizeof(List)) return false;
    const List* list = reinterpret_cast<const List*>(reply.data.get());
    if (list->uiCount == 0) return true;
    if (!InReply(reply.data.get(), reply.size, list->pItems, list->uiCount)) return false;
    for (uint32_t i = 0; i < list->uiCount; ++i) {
        Item item = list->pItems[i];
        sink(item);
    }
    return true;
}

template <size_t N>
void Terminate(char (&text)[N])
{
    text[N - 1] = '\0';
}

void TraceVersionItems(const char* title, const DrxRtVersionItem* items, int32_t count, std::string* productVersion)
{
    for (int32_t i = 0; i < count; ++i) {
        DrxRtVersionItem item = items[i];
        Terminate(item.szName);
        g_LogFile.Write("D:", "%s", title);
        g_LogFile.Write("D:", "   Name[%d]: %s", i, item.szName);
        g_LogFile.Write("D:", "Version[%d]: %s", i, FormatVersion(item.uiVersion).c_str());
        g_LogFile.Write("D:", "   Date[%d]: %s", i, FormatDate(item.uiDate).c_str());
        g_LogFile.Write("D:", "------------------------------");
        if (productVersion && _stricmp(item.szName, "DRX Product Version") == 0)
            *productVersion = FormatVersion(item.uiVersion);
    }
}

// The items of one version list, or null when the list is absent or lies outside the reply.
const DrxRtVersionItem* VersionItems(const char* base, const DrxRtVersionList* list, int32_t& count)
{
    count = 0;
    if (!list || !InReply(base, DRX_RT_VERSION_REPLY_BYTES, list, 1)) return nullptr;
    if (list->iCount <= 0 || !InReply(base, DRX_RT_VERSION_REPLY_BYTES, list->pItems, list->iCount)) return nullptr;
    count = list->iCount;
    return list->pItems;
}

}  // namespace

int32_t CDrxRuntime::Connect(int32_t iSerialNumber, uint32_t uiInterface)
{
    int32_t r;
    g_LogFile.Write("D:", "CDrxRuntime::Connect()::Entering");
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::Connect()::Runtime not initialized");
        r = -1;
    } else {
        int32_t hVCI = m_hVCI;
        r = CDrxRtLoader::m_fnDrxRtConnect(iSerialNumber, uiInterface, &hVCI);
        m_hVCI = hVCI;
    }
    if (r == 0) {
        g_LogFile.Write("D:", "CDrxRuntime::Connect()::Successfully connected to %d hVCI = %d", iSerialNumber,
                        static_cast<int>(m_hVCI));
        r = CDrxRtLoader::m_fnDrxRtSetEventCallback(m_hVCI, kConnectionEvents, EventEntry, this);
        if (r == 0) g_LogFile.Write("D:", "CDrxRuntime::Connect()::Set VCI Level Callback");
    } else {
        g_LogFile.Write("D:", "CDrxRuntime::Connect()::Error Connecting to device iRet = 0x%X", static_cast<unsigned>(r));
    }
    if (r == 0) {
        CDrxRtLoader::m_fnDrxRtDeleteClientInfo(m_hVCI, "ede-demo.txt", 2);
        m_connectedSerNum = iSerialNumber;
    }
    g_LogFile.Write("D:", "CDrxRuntime::Connect()::Leaving");
    return r;
}

int32_t CDrxRuntime::Disconnect(bool bWaitForWrites)
{
    int32_t r = 0;
    g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Entering");
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Runtime not initialized");
        r = -1;
    } else if (m_hVCI == -1) {
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::No device is connected");
        r = -1;
    }
    if (bWaitForWrites) {
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Waiting for SD Writes to complete");
        for (DWORD pass = 0; pass < kWriteWaitPasses; ++pass) {
            {
                boost::recursive_mutex::scoped_lock lock(m_pendingWritesLock);
                if (m_pendingWrites.empty()) break;
                g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Waiting for %d writes to complete",
                                static_cast<int>(m_pendingWrites.size()));
            }
            Sleep(kWriteWaitStepMs);
        }
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::SD Writes have completed");
    }
    if (r == 0) r = CDrxRtLoader::m_fnDrxRtDisconnect(m_hVCI);
    if (r == 0) {
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Successfully Disconnected from device");
        m_connectedSerNum = 0;
        m_hVCI = -1;
    } else {
        g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Error disconnecting from device");
    }
    g_LogFile.Write("D:", "CDrxRuntime::Disconnect()::Leaving");
    return r;
}

int32_t CDrxRuntime::GetModuleList(ModuleMap& modules)
{
    int32_t r = -1;
    Reply reply;
    g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Entering");
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Runtime not initialized");
    } else {
        r = FetchReply([](uint32_t* size, void* buffer) { return CDrxRtLoader::m_fnDrxRtGetModuleIds(size, buffer); },
                       reply);
        // Running out of memory is reported to the caller; the host's process carries on.
        if (reply.outOfMemory) g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Memory Allocation Error");
    }
    std::vector<DrxRtModuleInfo> received;
    if (r == 0 && !ReadList<DrxRtModuleList, DrxRtModuleInfo>(reply, [&](DrxRtModuleInfo& m) { received.push_back(m); }))
        r = -1;
    if (r == 0) {
        g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Retrieved Module List - Number of modules detected = %d",
                        static_cast<int>(received.size()));
        for (DrxRtModuleInfo& module : received) {
            Terminate(module.szName);
            g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Module:             %s", module.szName);
            g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Serial Number:      %d", module.iSerialNumber);
            g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Module State:       %X [%s]", module.uiState,
                            ModuleStateName(module.uiState));
            g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Detected Interface: %X [%s]", module.uiInterfaces,
                            InterfaceName(module.uiInterfaces));
            modules[module.iSerialNumber] = module;
        }
    }
    g_LogFile.Write("D:", "CDrxRuntime::GetModuleList()::Leaving");
    return r;
}

int32_t CDrxRuntime::GetAppsListPC(PCAppList& apps)
{
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::GetAppsListPC()::Runtime not initialized");
        return -1;
    }
    Reply reply;
    int32_t r =
        FetchReply([](uint32_t* size, void* buffer) { return CDrxRtLoader::m_fnDrxRtGetAppsPC(size, buffer); }, reply);
    if (r == 0 && !ReadList<DrxRtPCAppList, DrxRtPCAppItem>(reply, [&](DrxRtPCAppItem& item) {
            Terminate(item.szName);
            apps.push_back(item);
        }))
        r = -1;
    return r;
}

int32_t CDrxRuntime::GetAppsListVci(int32_t iSerialNumber, VCIAppList& apps)
{
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::GetAppsListVci()::Runtime not initialized");
        return -1;
    }
    Reply reply;
    const int32_t hVCI = m_hVCI;
    int32_t r = FetchReply(
        [&](uint32_t* size, void* buffer) {
            return CDrxRtLoader::m_fnDrxRtGetAppsVCI(hVCI, iSerialNumber, 1, size, buffer);
        },
        reply);
    if (r == 0 && !ReadList<DrxRtVCIAppList, DrxRtVCIAppItem>(reply, [&](DrxRtVCIAppItem& item) {
            Terminate(item.szName);
            apps.push_back(item);
        }))
        r = -1;
    return r;
}

int32_t CDrxRuntime::StartApplication(int32_t iAppId)
{
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::StartApplication()::Runtime not initialized");
        return -1;
    }
    if (m_hVCI == -1) {
        g_LogFile.Write("D:", "CDrxRuntime::StartApplication() - No device is connected");
        return -1;
    }
    return CDrxRtLoader::m_fnDrxRtCtlApp(m_hVCI, iAppId, DRX_RT_APP_START);
}

int32_t CDrxRuntime::StopApplication(int32_t iAppId)
{
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::StopApplication()::Runtime not initialized");
        return -1;
    }
    return CDrxRtLoader::m_fnDrxRtCtlApp(m_hVCI, iAppId, DRX_RT_APP_STOP);
}

int32_t CDrxRuntime::InstallVciApp(const char* pszName, const StopQuery& stopped)
{
    // Checked before the counters are reset: they belong to the install that still runs.
    if (m_bInitialized && m_bInstallBusy.exchange(true)) {
        g_LogFile.Write("D:", "CDrxRuntime::InstallVciApp()::An install is still in progress");
        return kInstallBusy;
    }
    g_uiCurrentInstallComponent = 0;
    g_uiTotalInstallComponents = 100;
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::InstallVciApp()::Runtime not initialized");
        return -1;
    }
    auto stopSeen = [&stopped] { return stopped && stopped(); };
    if (stopSeen()) {
        m_bInstallBusy = false;
        g_LogFile.Write("D:", "CDrxRuntime::InstallVciApp()::Stopped before the install");
        return kInstallStopped;
    }
    unsigned char record[DRX_RT_INSTALL_RECORD_BYTES] = {};
    // Held across the call so that no report is handled before the handle is stored. Nothing
    // that answers a host at once takes this lock.
    boost::recursive_mutex::scoped_lock lock(m_installLock);
    m_bInstallEnded = false;
    m_installResult = 0;
    int32_t hInstall = m_installHandle;
    int32_t r = CDrxRtLoader::m_fnDrxRtInstallVCIApp(m_hVCI, pszName, record, &hInstall);
    m_installHandle = hInstall;
    if (r != 0) {
        m_bInstallBusy = false;
        g_LogFile.Write("D:", "CDrxRtLoader::m_fnDrxRtInstallVCIApp Failed. iRet = 0x%X", static_cast<unsigned>(r));
        return r;
    }
    // Only the handler's flag ends the wait, never a bare wake-up; the stop is asked between
    // short waits, so that whoever stops needs no lock.
    const ULONGLONG deadline = GetTickCount64() + kInstallTimeoutMs;
    while (!m_bInstallEnded) {
        if (stopSeen()) {
            g_LogFile.Write("D:", "CDrxRuntime::InstallVciApp()::Stopped while waiting for the install");
            return kInstallStopped;
        }
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            // Given up for good: the install no longer counts as running.
            m_bInstallBusy = false;
            g_LogFile.Write("D:", "CDrxRuntime::InstallVciApp()::Install did not complete in time");
            return -1;
        }
        DWORD slice = static_cast<DWORD>(deadline - now < kInstallStopPollMs ? deadline - now : kInstallStopPollMs);
        m_installCond.timed_wait(lock, boost::get_system_time() + boost::posix_time::milliseconds(slice));
    }
    return m_installResult;
}

void CDrxRuntime::WakeInstallWait() { m_installCond.notify_all(); }

int32_t CDrxRuntime::UnnstallVciApp(const char* pszName)
{
    if (!m_bInitialized) {
        g_LogFile.Write("D:", "CDrxRuntime::UnnstallVciApp()::Runtime not initialized");
        return -1;
    }
    if (m_hVCI == -1) {
        g_LogFile.Write("D:", "CDrxRuntime::UnnstallVciApp()::No device is connected");
        return -1;
    }
    g_LogFile.Write("D:", "CDrxRuntime::UnnstallVciApp() - Starting uninstall...");
    unsigned char record[DRX_RT_INSTALL_RECORD_BYTES] = {};
    int32_t hUninstall = 0;
    int32_t r = CDrxRtLoader::m_fnDrxRtUninstallVCIApp(m_hVCI, pszName, record, &hUninstall);
    g_LogFile.Write("D:", "CDrxRtLoader::m_fnDrxRtUninstallVCIApp returned 0x%X", static_cast<unsigned>(r));
    g_LogFile.Write("D:", "CDrxRuntime::UnnstallVciApp() - Uninstall complete");
    return r;
}

void CDrxRuntime::GetCommonPlatformVersion(std::string& version)
{
    g_LogFile.Write("D:", "CDrxRuntime::GetCommonPlatformVersion(m_hVCI=%d)", static_cast<int>(m_hVCI));
    version.clear();
    if (!m_bInitialized) return;
    version = ReadCommonPlatformVersion(m_hVCI, m_connectedSerNum);
}

std::string ReadCommonPlatformVersion(int32_t hVCI, int32_t iSerialNumber)
{
    std::string version;
    Reply reply;
    if (!reply.Allocate(DRX_RT_VERSION_REPLY_BYTES)) return version;
    uint32_t size = DRX_RT_VERSION_REPLY_BYTES;
    int32_t r = CDrxRtLoader::m_fnDrxRtGetVersionInformation(hVCI, iSerialNumber, &size, reply.data.get());
    g_LogFile.Write("D:", "CDrxRuntime::GetCommonPlatformVersion() - RT returned 0x%X", static_cast<unsigned>(r));
    if (r != 0) return version;
    const char* base = reply.data.get();
    const DrxRtVersionInfo* info = reinterpret_cast<const DrxRtVersionInfo*>(base);
    int32_t count = 0;
    const DrxRtVersionItem* items = VersionItems(base, info->pClient, count);
    TraceVersionItems("------ Client Items ----------", items, count, nullptr);
    items = VersionItems(base, info->pServer, count);
    TraceVersionItems("------ Server Items ----------", items, count, &version);
    return version;
}

uint32_t CDrxRuntime::GetCurrentAppInstallComponent()
{
    uint32_t value = g_uiCurrentInstallComponent;
    g_LogFile.Write("D:", "CDrxRuntime::GetCurrentAppInstallComponent() - returning %d", static_cast<int>(value));
    return value;
}

uint32_t CDrxRuntime::GetTotalAppInstallComponents()
{
    uint32_t value = g_uiTotalInstallComponents;
    g_LogFile.Write("D:", "CDrxRuntime::GetTotalAppInstallComponents() - returning %d", static_cast<int>(value));
    return value;
}
