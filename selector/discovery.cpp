// Who writes which table, from which thread, under which lock (every function below keeps to
// it):
// - The tables (g_Vci*, g_Pending*, g_Waiting, g_IdleTicks): only under g_TablesLock. The
//   browse thread (BrowseReply) lists, unlists and queues names; the query thread
//   (ParseLinkFlags) writes links; the user-interface thread (ScheduleTxtQuery) takes names
//   off the queue and queues them again. Every reader holds the lock too.
// - The shown copy (g_Shown*): the user-interface thread only (SnapshotChanged, the tree).
// - The current query (g_QueryRef, one atomic token; a query is active while it is set): set
//   by the user-interface thread when it starts a query, taken (cleared) exactly once by
//   whoever ends that query first: its first reply on the query thread, or the timer.
// - g_BrowseRef: set by StartBrowse before the browse thread starts, then the browse thread's.
// - g_StopThreads: raised by anyone, never cleared. Everything else in discovery.cpp (the
//   worker threads' owners, the query's tick count): the user-interface thread only.
// Winsock first: it must come before the platform header that discovery.h includes.
#include <winsock2.h>

#include "discovery.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <string>

#include "acp_text.h"
#include "log.h"
#include "message_box.h"
#include "module_path.h"
#include "proc_address.h"
#include "worker_thread.h"

HMODULE g_hDnssd = nullptr;
char g_szServiceType[100] = "";
DNSServiceRef g_BrowseRef = nullptr;
std::atomic<DNSServiceRef> g_QueryRef{nullptr};
namespace {
// Its address is the token of a query without a reference: never one the library gives.
char g_noReference;
}  // namespace
const DNSServiceRef kQueryWithoutReference = reinterpret_cast<DNSServiceRef>(&g_noReference);
std::atomic<int32_t> g_StopThreads{0};

CMutex g_TablesLock;
int32_t g_IdleTicks = 0;
uint32_t g_VciCount = 0;
char g_VciNames[MAX_VCIS][kVciNameBytes] = {};
VciLinks g_VciLinks[MAX_VCIS] = {};
uint32_t g_ShownCount = 0;
char g_ShownNames[MAX_VCIS][kVciNameBytes] = {};
VciLinks g_ShownLinks[MAX_VCIS] = {};
int32_t g_PendingCount = 0;
char g_PendingNames[MAX_VCIS][kVciNameBytes] = {};
std::deque<std::string> g_Waiting;

namespace {

// The flags of the TXT query: long-lived, with intermediate answers, no unusable ones.
const DNSServiceFlags kTxtQueryFlags = kDNSServiceFlagsLongLivedQuery |
                                       kDNSServiceFlagsReturnIntermediates |
                                       kDNSServiceFlagsSuppressUnusable;  // 0x9100
const int32_t kRequeueTicks = 10;
const DWORD kPassSleepMs = 300;
const long kSelectWaitUs = 10000;
// How long ReleaseDnssd waits for each worker thread; a pass takes about 310 ms.
const DWORD kThreadEndWaitMs = 3000;

struct DnssdCalls {
    PFN_DNSServiceBrowse Browse;
    PFN_DNSServiceRefSockFD RefSockFD;
    PFN_DNSServiceResolve Resolve;
    PFN_DNSServiceProcessResult ProcessResult;
    PFN_DNSServiceRefDeallocate RefDeallocate;
    PFN_DNSServiceQueryRecord QueryRecord;
    PFN_DNSServiceReconfirmRecord ReconfirmRecord;
};
DnssdCalls g_calls = {};

// A query thread and the token of the query it serves; the thread deallocates the reference
// itself.
struct QueryThread {
    DNSServiceRef token = nullptr;
    CWorkerThread thread{0};
};

// Worker threads, waited for before the library goes (user-interface thread only). The code
// they run lives in the program itself, so they hold no module reference. At the process's
// end a thread that did not end in ReleaseDnssd is given up at once.
CWorkerThread g_browseThread(0);
std::list<QueryThread> g_queryThreads;
bool g_winsockStarted = false;
// Ticks that the current TXT query has waited (user-interface thread only).
int32_t g_queryTicks = 0;

template <typename Fn>
bool Bind(Fn& fn, const char* name)
{
    fn = ProcAddress<Fn>(g_hDnssd, name);
    return fn != nullptr;
}

void NameThread(const wchar_t* name)
{
    using SetDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    auto setDescription =
        ProcAddress<SetDescriptionFn>(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription");
    if (setDescription) setDescription(GetCurrentThread(), name);
}

int FindName(const char (*names)[kVciNameBytes], int count, const char* name)
{
    for (int i = 0; i < count; ++i)
        if (std::strcmp(names[i], name) == 0) return i;
    return -1;
}

// Removes entry index of a table of count entries, moving the later ones down.
template <typename T>
void RemoveAt(T* table, int index, int count)
{
    std::memmove(&table[index], &table[index + 1], sizeof(T) * (count - index - 1));
}

// Appends name to a table of count entries that holds capacity; false when it is full.
template <int capacity>
bool Append(char (&table)[capacity][kVciNameBytes], int32_t& count, const char* name)
{
    if (count >= capacity) return false;
    CopyCut(table[count++], name);
    return true;
}

// Removes the first entry equal to name from a table of count entries, if there is one.
template <int capacity>
void RemoveName(char (&table)[capacity][kVciNameBytes], int32_t& count, const char* name)
{
    int index = FindName(table, count, name);
    if (index < 0) return;
    RemoveAt(table, index, count);
    --count;
}

// Lists a new instance at the end of the table and queues it for its TXT query. The caller
// holds g_TablesLock and has checked that there is room.
void ListInstance(const char* name)
{
    CopyCut(g_VciNames[g_VciCount], name);
    g_VciLinks[g_VciCount] = VciLinks{0, 0, 0};
    ++g_VciCount;
    Append(g_PendingNames, g_PendingCount, name);
}

// Serves one reference until discovery stops, the thread is told to stop or, for a query,
// until its token is no longer the current one (answered, or ended by the timer). The token
// is left as it is: whoever ended the query took it, and once discovery has stopped it stays
// so that no further query starts.
void ServeReference(DNSServiceRef ref, DNSServiceRef queryToken, HANDLE hStop)
{
    const bool isQuery = queryToken != nullptr;
    dnssd_sock_t sock = ref ? g_calls.RefSockFD(ref) : DNSSD_INVALID_SOCKET;
    while (g_StopThreads.load() == 0 && (!isQuery || g_QueryRef.load() == queryToken)) {
        if (WaitForSingleObject(hStop, kPassSleepMs) == WAIT_OBJECT_0) break;
        if (sock == DNSSD_INVALID_SOCKET) {
            // No socket to wait on counts as a failed wait.
            g_StopThreads = 1;
            break;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<SOCKET>(sock), &readable);
        timeval wait = {0, kSelectWaitUs};
        int result = select(0, &readable, nullptr, nullptr, &wait);
        if (result > 0) {
            DNSServiceErrorType error = g_calls.ProcessResult(ref);
            if (error != kDNSServiceErr_NoError && !isQuery) g_StopThreads = 1;
        } else if (result == SOCKET_ERROR && WSAGetLastError() != WSAEINTR) {
            g_StopThreads = 1;
        }
    }
    if (ref) g_calls.RefDeallocate(ref);
}

void ShowLoadFailure(const wchar_t* path)
{
    ShowOwnerlessMessageBox(L"DLL dnssd did not load", L"", MB_OK | MB_HELP);
    ShowOwnerlessMessageBox(path, L"", MB_OK | MB_HELP);
}

// Ends the current TXT query when it has waited kTxtQueryTicks ticks without a reply: nobody
// answers it. Its thread ends and deallocates the reference; the name comes again with the
// next re-queueing of all names.
void EndUnansweredQuery()
{
    if (!QueryActive() || g_StopThreads.load() != 0) return;
    if (++g_queryTicks < kTxtQueryTicks) return;
    DNSServiceRef token = g_QueryRef.exchange(nullptr);
    if (!token) return;  // its reply took it first
    for (QueryThread& query : g_queryThreads)
        if (query.token == token) query.thread.RequestStop();
}

// Forgets the query threads that have ended.
void ForgetEndedQueries()
{
    g_queryThreads.remove_if([](QueryThread& query) { return query.thread.Join(0); });
}

}  // namespace

bool LoadDnssd()
{
    if (g_hDnssd) return true;
    // Only the program's own folder, never the search path: an empty path loads nothing.
    const std::wstring path = FileBesideModule(nullptr, L"dnssd.dll");
    g_hDnssd = path.empty() ? nullptr : LoadLibraryW(path.c_str());
    bool bound = g_hDnssd && Bind(g_calls.Browse, "DNSServiceBrowse") &&
                 Bind(g_calls.RefSockFD, "DNSServiceRefSockFD") &&
                 Bind(g_calls.Resolve, "DNSServiceResolve") &&
                 Bind(g_calls.ProcessResult, "DNSServiceProcessResult") &&
                 Bind(g_calls.RefDeallocate, "DNSServiceRefDeallocate") &&
                 Bind(g_calls.QueryRecord, "DNSServiceQueryRecord") &&
                 Bind(g_calls.ReconfirmRecord, "DNSServiceReconfirmRecord");
    if (!bound) {
        // A library without all of its calls is refused like a missing one: a null entry
        // point is never called.
        if (g_hDnssd) FreeLibrary(g_hDnssd);
        g_hDnssd = nullptr;
        g_calls = {};
        ShowLoadFailure(path.c_str());
        return false;
    }
    WSADATA wsa;
    g_winsockStarted = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    return true;
}

void StartBrowse()
{
    if (!g_hDnssd) return;
    DNSServiceErrorType error = g_calls.Browse(&g_BrowseRef, 0, kDNSServiceInterfaceIndexAny,
                                               g_szServiceType, nullptr, BrowseReply, nullptr);
    if (!g_BrowseRef || error != kDNSServiceErr_NoError)
        WriteLog(L"D:", L"DNSServiceBrowse call failed %ld", static_cast<long>(error));
    if (g_browseThread.Start(HandleBrowseEvents, nullptr, false)) return;
    // Without its thread nobody serves the browse: discovery ends here.
    if (g_BrowseRef) g_calls.RefDeallocate(g_BrowseRef);
    g_BrowseRef = nullptr;
    g_StopThreads = 1;
}

void HandleBrowseEvents(void*, HANDLE hStop)
{
    NameThread(L"HandleBrowseEvents Thread");
    ServeReference(g_BrowseRef, nullptr, hStop);
    g_BrowseRef = nullptr;
}

void HandleQueryEvents(void* queryToken, HANDLE hStop)
{
    NameThread(L"HandleQueryEvents Thread");
    DNSServiceRef token = static_cast<DNSServiceRef>(queryToken);
    ServeReference(token == kQueryWithoutReference ? nullptr : token, token, hStop);
}

void DNSSD_API BrowseReply(DNSServiceRef, DNSServiceFlags flags, uint32_t,
                           DNSServiceErrorType errorCode, const char* serviceName, const char*,
                           const char*, void*)
{
    if (errorCode != kDNSServiceErr_NoError || !serviceName) return;
    char name[kVciNameBytes];
    CopyCut(name, serviceName);

    std::lock_guard<CMutex> lock(g_TablesLock);
    int count = static_cast<int>(g_VciCount);
    int index = FindName(g_VciNames, count, name);
    if (flags & kDNSServiceFlagsAdd) {
        if (index >= 0) return;
        if (count < MAX_VCIS) {
            ListInstance(name);
        } else if (std::find(g_Waiting.begin(), g_Waiting.end(), name) == g_Waiting.end()) {
            // The browse reports an add only once: remember it until a slot frees.
            try {
                g_Waiting.emplace_back(name);
            } catch (const std::bad_alloc&) {
                WriteLog(L"D:", L"No memory to keep a waiting VCI");
            }
        }
        return;
    }
    if (index < 0) {
        auto waiting = std::find(g_Waiting.begin(), g_Waiting.end(), name);
        if (waiting != g_Waiting.end()) g_Waiting.erase(waiting);
        return;
    }
    RemoveAt(g_VciNames, index, count);
    RemoveAt(g_VciLinks, index, count);
    --g_VciCount;
    RemoveName(g_PendingNames, g_PendingCount, name);
    if (!g_Waiting.empty()) {
        ListInstance(g_Waiting.front().c_str());
        g_Waiting.pop_front();
    }
}

void StartTxtQuery(const char* fullName)
{
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType error = kDNSServiceErr_ServiceNotRunning;
    if (g_hDnssd)
        error = g_calls.QueryRecord(&ref, kTxtQueryFlags, kDNSServiceInterfaceIndexAny, fullName,
                                    kDNSServiceType_TXT, kDNSServiceClass_IN, QueryTxtReply,
                                    nullptr);
    if (!ref || error != kDNSServiceErr_NoError)
        WriteLog(L"D:", L"DNSService call failed %ld", static_cast<long>(error));
    // Set before its thread starts: no reply can come before then.
    const DNSServiceRef token = ref ? ref : kQueryWithoutReference;
    g_QueryRef = token;
    g_queryTicks = 0;

    ForgetEndedQueries();
    g_queryThreads.emplace_back();
    QueryThread& query = g_queryThreads.back();
    query.token = token;
    if (query.thread.Start(HandleQueryEvents, token, false)) return;
    // Nobody would serve it: the query ends unanswered and the queue moves on.
    g_queryThreads.pop_back();
    g_QueryRef = nullptr;
    if (ref) g_calls.RefDeallocate(ref);
}

void DNSSD_API QueryTxtReply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname, uint16_t rrtype,
                             uint16_t rrclass, uint16_t rdlen, const void* rdata, uint32_t,
                             void*)
{
    if (errorCode == kDNSServiceErr_NoError && fullname) {
        ParseLinkFlags(fullname, static_cast<const unsigned char*>(rdata), rdata ? rdlen : 0);
        // The daemon checks the record just received and flushes it when it is stale; the
        // browse then reports the instance as gone.
        if ((flags & kDNSServiceFlagsAdd) && g_calls.ReconfirmRecord)
            g_calls.ReconfirmRecord(flags, interfaceIndex, fullname, rrtype, rrclass, rdlen,
                                    rdata);
    }
    // The first reply of any kind ends its query, if that is still the current one.
    DNSServiceRef expected = sdRef;
    if (sdRef) g_QueryRef.compare_exchange_strong(expected, nullptr);
}

void ParseLinkFlags(const char* fullName, const unsigned char* data, uint16_t length)
{
    char name[kVciNameBytes];
    CopyCut(name, std::string(fullName, std::strcspn(fullName, ".")));

    std::lock_guard<CMutex> lock(g_TablesLock);
    int index = FindName(g_VciNames, static_cast<int>(g_VciCount), name);
    if (index < 0) return;
    ScanTxtLinks(data, length, g_VciLinks[index]);
}

bool SnapshotChanged()
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    bool changed = g_VciCount != g_ShownCount;
    for (uint32_t i = 0; !changed && i < g_VciCount; ++i)
        changed = std::strcmp(g_VciNames[i], g_ShownNames[i]) != 0 ||
                  g_VciLinks[i].usb != g_ShownLinks[i].usb ||
                  g_VciLinks[i].wifi != g_ShownLinks[i].wifi ||
                  g_VciLinks[i].eth != g_ShownLinks[i].eth;
    if (!changed) return false;
    g_ShownCount = g_VciCount;
    std::memcpy(g_ShownNames, g_VciNames, sizeof(g_VciNames[0]) * g_VciCount);
    std::memcpy(g_ShownLinks, g_VciLinks, sizeof(g_VciLinks[0]) * g_VciCount);
    return true;
}

void ScheduleTxtQuery(const char* domainSuffix)
{
    EndUnansweredQuery();
    std::string fullName;
    {
        std::lock_guard<CMutex> lock(g_TablesLock);
        if (g_PendingCount == 0) {
            if (++g_IdleTicks >= kRequeueTicks) {
                for (uint32_t i = 0; i < g_VciCount; ++i)
                    Append(g_PendingNames, g_PendingCount, g_VciNames[i]);
                g_IdleTicks = 0;
            }
            return;
        }
        g_IdleTicks = 0;
        if (QueryActive()) return;
        // An instance name is one DNS label of at most 63 bytes: name and suffix fit in 100.
        char szFullName[kVciNameBytes];
        CopyCut(szFullName, std::string(g_PendingNames[0]) + domainSuffix);
        fullName = szFullName;
        // Taken off the queue before the query starts, so that a removal reported meanwhile
        // cannot shift another name into its place.
        RemoveAt(g_PendingNames, 0, g_PendingCount);
        --g_PendingCount;
    }
    StartTxtQuery(fullName.c_str());
}

void StopDiscovery()
{
    g_StopThreads = 1;
    g_browseThread.RequestStop();
    for (QueryThread& query : g_queryThreads) query.thread.RequestStop();
}

void ReleaseDnssd()
{
    if (!g_hDnssd) return;
    StopDiscovery();
    bool browseEnded = g_browseThread.Join(kThreadEndWaitMs);
    g_queryThreads.remove_if(
        [](QueryThread& query) { return query.thread.Join(kThreadEndWaitMs); });
    // A thread still running keeps the library; a later call waits for it again.
    if (!browseEnded || !g_queryThreads.empty()) return;
    if (g_winsockStarted) WSACleanup();
    g_winsockStarted = false;
    FreeLibrary(g_hDnssd);
    g_hDnssd = nullptr;
    g_calls = {};
}
