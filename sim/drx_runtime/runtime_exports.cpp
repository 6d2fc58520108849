// The runtime's entry points as the update plug-in calls them, answering from the scenario.
#include <cstring>
#include <string>
#include <vector>

#include "sim_state.h"

#define DRXRT_EXPORT extern "C" DrxRtResult DRXRT_CALL

namespace {

std::string Args(std::initializer_list<long long> values)
{
    std::string text;
    for (long long v : values) text += (text.empty() ? "" : " ") + std::to_string(v);
    return text;
}

template <size_t N>
void CopyName(char (&out)[N], const std::string& name)
{
    std::strncpy(out, name.c_str(), N - 1);
    out[N - 1] = '\0';
}

// Writes a list reply (count, pointer, records) into the caller's buffer, or asks for room.
template <class List, class Item, class Fill>
DrxRtResult ListReply(uint32_t* puiSize, void* pBuffer, size_t count, Fill fill)
{
    if (!puiSize) return DRX_RT_ERR_INVALID_ARGUMENT;
    const size_t needed = sizeof(List) + count * sizeof(Item);
    if (!pBuffer || *puiSize < needed) {
        *puiSize = static_cast<uint32_t>(needed);
        return DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE;
    }
    List* list = static_cast<List*>(pBuffer);
    Item* items = reinterpret_cast<Item*>(static_cast<char*>(pBuffer) + sizeof(List));
    std::memset(items, 0, count * sizeof(Item));
    for (size_t i = 0; i < count; ++i) fill(i, items[i]);
    list->uiCount = static_cast<uint32_t>(count);
    list->pItems = items;
    *puiSize = static_cast<uint32_t>(needed);
    return 0;
}

void FillVersionList(char*& cursor, DrxRtVersionList*& list, const std::vector<SimVersionItem>& source)
{
    list = reinterpret_cast<DrxRtVersionList*>(cursor);
    cursor += sizeof(DrxRtVersionList);
    list->iCount = static_cast<int32_t>(source.size());
    list->pItems = reinterpret_cast<DrxRtVersionItem*>(cursor);
    for (const SimVersionItem& s : source) {
        DrxRtVersionItem* item = reinterpret_cast<DrxRtVersionItem*>(cursor);
        CopyName(item->szName, s.name);
        item->uiVersion = s.version;
        item->uiDate = s.date;
        cursor += sizeof(DrxRtVersionItem);
    }
}

struct SimEvent {
    int32_t hVCI;
    uint32_t uiEvent;
    uint32_t uiSubEvent;
};

DWORD WINAPI RaiseEventThread(void* param)
{
    const SimEvent* event = static_cast<const SimEvent*>(param);
    SimRuntime::Get().RaiseEvent(event->hVCI, event->uiEvent, event->uiSubEvent);
    return 0;
}

// Journal and injected failure first, then the runtime must be constructed.
#define ENTER(args)                                                          \
    SimRuntime& rt = SimRuntime::Get();                                      \
    if (DrxRtResult injected = rt.Enter(__func__, args)) return injected;   \
    std::lock_guard<CMutex> lock(rt.Lock());                             \
    if (!rt.Constructed()) return DRX_RT_ERR_NOT_CONSTRUCTED;

}  // namespace

// Construction reads the scenario afresh, so its journal and failures start here.
DRXRT_EXPORT DrxRtConstruct(int32_t iReserved)
{
    SimRuntime& rt = SimRuntime::Get();
    if (DrxRtResult r = rt.Construct()) return r;
    DrxRtResult injected = rt.Enter(__func__, Args({iReserved}));
    if (injected) rt.Destruct();
    return injected;
}

DRXRT_EXPORT DrxRtDestruct()
{
    if (DrxRtResult injected = SimRuntime::Get().Enter(__func__, "")) return injected;
    return SimRuntime::Get().Destruct();
}

DRXRT_EXPORT DrxRtSetEventCallback(int32_t hVCI, uint32_t uiMask, DrxRtEventCallback pfn, void* pContext)
{
    ENTER(Args({hVCI, uiMask, pfn != nullptr, pContext != nullptr}));
    return rt.SetRegistration(hVCI, Registration{uiMask, pfn, pContext}) ? 0 : DRX_RT_ERR_INVALID_HANDLE;
}

DRXRT_EXPORT DrxRtConnect(int32_t iSerialNumber, uint32_t uiInterface, int32_t* phVCI)
{
    ENTER(Args({iSerialNumber, uiInterface}));
    if (!phVCI) return DRX_RT_ERR_INVALID_ARGUMENT;
    const SimModule* module = rt.FindModule(iSerialNumber);
    if (!module) return DRX_RT_ERR_VCI_SN_NOT_FOUND;
    if ((module->interfaces & uiInterface) != uiInterface || uiInterface == 0) return DRX_RT_ERR_IF_NOT_FOUND;
    *phVCI = rt.OpenConnection(iSerialNumber);
    return 0;
}

DRXRT_EXPORT DrxRtDisconnect(int32_t hVCI)
{
    ENTER(Args({hVCI}));
    return rt.CloseConnection(hVCI) ? 0 : DRX_RT_ERR_INVALID_HANDLE;
}

DRXRT_EXPORT DrxRtDeleteClientInfo(int32_t hVCI, const char* pszItem, int32_t iKind)
{
    ENTER(Args({hVCI, iKind}) + " " + (pszItem ? pszItem : "(null)"));
    return rt.ConnectedModule(hVCI) ? 0 : DRX_RT_ERR_DEVICE_NOT_CONNECTED;
}

DRXRT_EXPORT DrxRtGetModuleIds(uint32_t* puiSize, void* pBuffer)
{
    ENTER(Args({pBuffer != nullptr}));
    const std::vector<SimModule>& modules = rt.World().modules;
    return ListReply<DrxRtModuleList, DrxRtModuleInfo>(puiSize, pBuffer, modules.size(),
                                                       [&](size_t i, DrxRtModuleInfo& m) {
                                                           m.uiState = modules[i].state;
                                                           m.iSerialNumber = modules[i].serial;
                                                           m.uiInterfaces = modules[i].interfaces;
                                                           CopyName(m.szName, modules[i].name);
                                                       });
}

DRXRT_EXPORT DrxRtGetAppsPC(uint32_t* puiSize, void* pBuffer)
{
    ENTER(Args({pBuffer != nullptr}));
    const std::vector<SimApp>& apps = rt.World().pcApps;
    return ListReply<DrxRtPCAppList, DrxRtPCAppItem>(puiSize, pBuffer, apps.size(), [&](size_t i, DrxRtPCAppItem& a) {
        CopyName(a.szName, apps[i].name);
        a.uiVersion = apps[i].version;
        a.uiDate = apps[i].date;
    });
}

DRXRT_EXPORT DrxRtGetAppsVCI(int32_t hVCI, int32_t iSerialNumber, int32_t iKind, uint32_t* puiSize, void* pBuffer)
{
    ENTER(Args({hVCI, iSerialNumber, iKind, pBuffer != nullptr}));
    if (!rt.FindModule(iSerialNumber)) return DRX_RT_ERR_VCI_SN_NOT_FOUND;
    const std::vector<SimApp> apps = rt.World().vciApps[iSerialNumber];
    return ListReply<DrxRtVCIAppList, DrxRtVCIAppItem>(puiSize, pBuffer, apps.size(),
                                                       [&](size_t i, DrxRtVCIAppItem& a) {
                                                           a.iAppId = apps[i].id;
                                                           CopyName(a.szName, apps[i].name);
                                                           a.uiVersion = apps[i].version;
                                                           a.uiDate = apps[i].date;
                                                           a.iRunState = apps[i].running ? 2 : DRX_RT_APP_IDLE;
                                                       });
}

DRXRT_EXPORT DrxRtCtlApp(int32_t hVCI, int32_t iAppId, int32_t iAction)
{
    ENTER(Args({hVCI, iAppId, iAction}));
    const SimModule* module = rt.ConnectedModule(hVCI);
    if (!module) return DRX_RT_ERR_DEVICE_NOT_CONNECTED;
    if (iAction != DRX_RT_APP_START && iAction != DRX_RT_APP_STOP) return DRX_RT_ERR_INVALID_ARGUMENT;
    for (SimApp& app : rt.World().vciApps[module->serial]) {
        if (app.id != iAppId) continue;
        app.running = iAction == DRX_RT_APP_START;
        return 0;
    }
    return DRX_RT_ERR_INVALID_ARGUMENT;
}

DRXRT_EXPORT DrxRtInstallVCIApp(int32_t hVCI, const char* pszApp, void* pRecord, int32_t* phInstall)
{
    ENTER(Args({hVCI}) + " " + (pszApp ? pszApp : "(null)"));
    if (!rt.ConnectedModule(hVCI)) return DRX_RT_ERR_DEVICE_NOT_CONNECTED;
    if (!pszApp || !pRecord || !phInstall) return DRX_RT_ERR_INVALID_ARGUMENT;
    for (const SimApp& app : rt.World().pcApps) {
        if (_stricmp(app.name.c_str(), pszApp) != 0) continue;
        int32_t hInstall = rt.StartInstall(hVCI, app);
        if (hInstall == 0) return DRX_RT_ERR_INTERAL;
        *phInstall = hInstall;
        return 0;
    }
    return DRX_RT_ERR_INVALID_ARGUMENT;
}

DRXRT_EXPORT DrxRtInstallGetStatus(int32_t hVCI, int32_t hInstall, DrxRtAppInstallStatus* pStatus)
{
    ENTER(Args({hVCI, hInstall}));
    if (!pStatus) return DRX_RT_ERR_INVALID_ARGUMENT;
    return rt.PopInstallStatus(hInstall, *pStatus) ? 0 : DRX_RT_ERR_STATUS_QUEUE_EMPTY;
}

DRXRT_EXPORT DrxRtUninstallVCIApp(int32_t hVCI, const char* pszApp, void* pRecord, int32_t* phUninstall)
{
    ENTER(Args({hVCI}) + " " + (pszApp ? pszApp : "(null)"));
    const SimModule* module = rt.ConnectedModule(hVCI);
    if (!module) return DRX_RT_ERR_DEVICE_NOT_CONNECTED;
    if (!pszApp || !pRecord || !phUninstall) return DRX_RT_ERR_INVALID_ARGUMENT;
    std::vector<SimApp>& apps = rt.World().vciApps[module->serial];
    for (auto it = apps.begin(); it != apps.end(); ++it) {
        if (_stricmp(it->name.c_str(), pszApp) != 0) continue;
        apps.erase(it);
        *phUninstall = 1;
        return 0;
    }
    return DRX_RT_ERR_INVALID_ARGUMENT;
}

DRXRT_EXPORT DrxRtGetVersionInformation(int32_t hVCI, int32_t iSerialNumber, uint32_t* puiSize, void* pBuffer)
{
    ENTER(Args({hVCI, iSerialNumber}));
    if (!rt.ConnectedModule(hVCI)) return DRX_RT_ERR_DEVICE_NOT_CONNECTED;
    if (!puiSize) return DRX_RT_ERR_INVALID_ARGUMENT;
    const Scenario& world = rt.World();
    const size_t needed = sizeof(DrxRtVersionInfo) + 2 * sizeof(DrxRtVersionList) +
                          (world.clientItems.size() + world.serverItems.size()) * sizeof(DrxRtVersionItem);
    if (!pBuffer || *puiSize < needed) {
        *puiSize = static_cast<uint32_t>(needed);
        return DRX_RT_ERR_INSUFFICIENT_BUFFER_SIZE;
    }
    std::memset(pBuffer, 0, needed);
    DrxRtVersionInfo* info = static_cast<DrxRtVersionInfo*>(pBuffer);
    char* cursor = static_cast<char*>(pBuffer) + sizeof(DrxRtVersionInfo);
    FillVersionList(cursor, info->pClient, world.clientItems);
    FillVersionList(cursor, info->pServer, world.serverItems);
    *puiSize = static_cast<uint32_t>(needed);
    return 0;
}

DRXRT_EXPORT DrxRtGetClientAccessStatus(int32_t hVCI, int32_t hWrite, DrxRtClientAccessStatus* pStatus)
{
    ENTER(Args({hVCI, hWrite}));
    if (!pStatus) return DRX_RT_ERR_INVALID_ARGUMENT;
    auto write = rt.World().writes.find(hWrite);
    if (write == rt.World().writes.end()) return DRX_RT_ERR_INVALID_HANDLE;
    std::memset(pStatus, 0, sizeof *pStatus);
    pStatus->iHandle = hWrite;
    pStatus->iStatus = write->second;
    return 0;
}

// Steering for tests: the journal of calls, one per line ("DrxRtCtlApp -1 0 2"). Returns the
// bytes needed including the terminator; copies only when the buffer holds them all.
extern "C" int32_t DRXRT_CALL DrxSimJournal(char* pBuffer, int32_t iSize)
{
    std::string journal = SimRuntime::Get().Journal();
    int32_t needed = static_cast<int32_t>(journal.size() + 1);
    if (pBuffer && iSize >= needed) std::memcpy(pBuffer, journal.c_str(), needed);
    return needed;
}

// Steering for tests: raises an event on a handle from a thread of the runtime and waits for it.
extern "C" int32_t DRXRT_CALL DrxSimRaiseEvent(int32_t hVCI, uint32_t uiEvent, uint32_t uiSubEvent)
{
    SimEvent event{hVCI, uiEvent, uiSubEvent};
    HANDLE thread = CreateThread(nullptr, 0, RaiseEventThread, &event, 0, nullptr);
    if (!thread) return -1;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return 0;
}
