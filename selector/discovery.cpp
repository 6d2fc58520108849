// Winsock first: it must come before the platform header that discovery.h includes.
#include <winsock2.h>

#include "discovery.h"

#include <cstring>
#include <string>
#include <vector>

#include "acp_text.h"
#include "handle.h"
#include "log.h"
#include "message_box.h"
#include "module_path.h"
#include "proc_address.h"

HMODULE g_hDnssd = nullptr;
char g_szServiceType[100] = "";
DNSServiceRef g_BrowseRef = nullptr;
std::atomic<DNSServiceRef> g_QueryRef{nullptr};
std::atomic<int32_t> g_StopThreads{0};
std::atomic<int32_t> g_QueryActive{0};

std::mutex g_TablesLock;
int32_t g_IdleTicks = 0;
uint32_t g_VciCount = 0;
char g_VciNames[MAX_VCIS][kVciNameBytes] = {};
VciLinks g_VciLinks[MAX_VCIS] = {};
uint32_t g_ShownCount = 0;
char g_ShownNames[MAX_VCIS][kVciNameBytes] = {};
VciLinks g_ShownLinks[MAX_VCIS] = {};
int32_t g_PendingCount = 0;
char g_PendingNames[MAX_VCIS][kVciNameBytes] = {};

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

// Worker threads still to be waited for before the library goes (user-interface thread only).
CHandle g_browseThread;
std::vector<HANDLE> g_queryThreads;
bool g_winsockStarted = false;

// The query whose first reply has come, so that its thread ends even when the timer has
// started the next query meanwhile; its thread clears it before the reference goes.
std::atomic<DNSServiceRef> g_answeredQuery{nullptr};

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

bool IsAnswered(DNSServiceRef queryRef)
{
    return queryRef && g_answeredQuery.load() == queryRef;
}

// Serves one reference until discovery stops or, for a query, until it is answered.
void ServeReference(DNSServiceRef ref, bool isQuery)
{
    dnssd_sock_t sock = ref ? g_calls.RefSockFD(ref) : DNSSD_INVALID_SOCKET;
    while (g_StopThreads.load() == 0 &&
           (!isQuery || (g_QueryActive.load() != 0 && !IsAnswered(ref)))) {
        Sleep(kPassSleepMs);
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
    if (isQuery) {
        DNSServiceRef expected = ref;
        g_answeredQuery.compare_exchange_strong(expected, nullptr);
    }
    if (ref) g_calls.RefDeallocate(ref);
}

void ShowLoadFailure(const wchar_t* path)
{
    ShowOwnerlessMessageBox(L"DLL dnssd did not load", L"", MB_OK | MB_HELP);
    ShowOwnerlessMessageBox(path, L"", MB_OK | MB_HELP);
}

bool WaitThread(HANDLE hThread)
{
    return WaitForSingleObject(hThread, kThreadEndWaitMs) == WAIT_OBJECT_0;
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
    g_browseThread.Reset(CreateThread(nullptr, 0, HandleBrowseEvents, nullptr, 0, nullptr));
}

DWORD WINAPI HandleBrowseEvents(LPVOID)
{
    NameThread(L"HandleBrowseEvents Thread");
    ServeReference(g_BrowseRef, false);
    g_BrowseRef = nullptr;
    return 0;
}

DWORD WINAPI HandleQueryEvents(LPVOID queryRef)
{
    NameThread(L"HandleQueryEvents Thread");
    DNSServiceRef ref = static_cast<DNSServiceRef>(queryRef);
    ServeReference(ref, true);
    // A later query may own g_QueryRef by now; only this thread's own reference is cleared.
    DNSServiceRef expected = ref;
    g_QueryRef.compare_exchange_strong(expected, nullptr);
    return 0;
}

void DNSSD_API BrowseReply(DNSServiceRef, DNSServiceFlags flags, uint32_t,
                           DNSServiceErrorType errorCode, const char* serviceName, const char*,
                           const char*, void*)
{
    if (errorCode != kDNSServiceErr_NoError || !serviceName) return;
    char name[kVciNameBytes];
    CopyCut(name, serviceName);

    std::lock_guard<std::mutex> lock(g_TablesLock);
    int count = static_cast<int>(g_VciCount);
    int index = FindName(g_VciNames, count, name);
    if (flags & kDNSServiceFlagsAdd) {
        // A full table ignores further instances until a slot frees and they are announced
        // again.
        if (index >= 0 || count >= MAX_VCIS) return;
        CopyCut(g_VciNames[count], name);
        g_VciLinks[count] = VciLinks{0, 0, 0};
        ++g_VciCount;
        if (g_PendingCount < MAX_VCIS) CopyCut(g_PendingNames[g_PendingCount++], name);
        return;
    }
    if (index < 0) return;
    RemoveAt(g_VciNames, index, count);
    RemoveAt(g_VciLinks, index, count);
    --g_VciCount;
    int pending = FindName(g_PendingNames, g_PendingCount, name);
    if (pending >= 0) {
        RemoveAt(g_PendingNames, pending, g_PendingCount);
        --g_PendingCount;
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
    g_QueryRef = ref;
    if (!ref || error != kDNSServiceErr_NoError)
        WriteLog(L"D:", L"DNSService call failed %ld", static_cast<long>(error));

    // Forget the query threads that have ended; the rest are waited for by ReleaseDnssd.
    for (auto it = g_queryThreads.begin(); it != g_queryThreads.end();) {
        if (WaitForSingleObject(*it, 0) == WAIT_OBJECT_0) {
            CloseHandle(*it);
            it = g_queryThreads.erase(it);
        } else {
            ++it;
        }
    }
    HANDLE hThread = CreateThread(nullptr, 0, HandleQueryEvents, ref, 0, nullptr);
    if (hThread) {
        g_queryThreads.push_back(hThread);
    } else if (ref) {
        g_calls.RefDeallocate(ref);
        g_QueryRef = nullptr;
    }
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
    // The first reply of any kind ends the query.
    g_answeredQuery = sdRef;
    g_QueryActive = 0;
}

void ParseLinkFlags(const char* fullName, const unsigned char* data, uint16_t length)
{
    char name[kVciNameBytes];
    CopyCut(name, std::string(fullName, std::strcspn(fullName, ".")));

    // Nothing after the first zero byte is looked at.
    std::size_t end = 0;
    while (data && end < length && data[end] != 0) ++end;
    auto isTrue = [&](std::size_t i) { return i < end && data[i] == 't'; };

    std::lock_guard<std::mutex> lock(g_TablesLock);
    int index = FindName(g_VciNames, static_cast<int>(g_VciCount), name);
    if (index < 0) return;
    VciLinks& links = g_VciLinks[index];
    for (std::size_t p = 0; p + 3 <= end; ++p) {
        const char* at = reinterpret_cast<const char*>(data + p);
        if (std::memcmp(at, "eth", 3) == 0) links.eth = isTrue(p + 4);
        if (std::memcmp(at, "wif", 3) == 0) links.wifi = isTrue(p + 5);
        if (std::memcmp(at, "usb", 3) == 0) links.usb = isTrue(p + 4);
    }
}

bool SnapshotChanged()
{
    std::lock_guard<std::mutex> lock(g_TablesLock);
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
    std::string fullName;
    {
        std::lock_guard<std::mutex> lock(g_TablesLock);
        if (g_PendingCount == 0) {
            if (++g_IdleTicks >= kRequeueTicks) {
                for (uint32_t i = 0; i < g_VciCount && g_PendingCount < MAX_VCIS; ++i)
                    CopyCut(g_PendingNames[g_PendingCount++], g_VciNames[i]);
                g_IdleTicks = 0;
            }
            return;
        }
        g_IdleTicks = 0;
        if (g_QueryActive.load() != 0) return;
        g_QueryActive = 1;
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
}

void ReleaseDnssd()
{
    if (!g_hDnssd) return;
    g_StopThreads = 1;
    if (g_browseThread && WaitThread(g_browseThread.Get())) g_browseThread.Reset();
    for (auto it = g_queryThreads.begin(); it != g_queryThreads.end();) {
        if (WaitThread(*it)) {
            CloseHandle(*it);
            it = g_queryThreads.erase(it);
        } else {
            ++it;
        }
    }
    // A thread still running keeps the library (and its own handle, for a later call).
    if (g_browseThread || !g_queryThreads.empty()) return;
    if (g_winsockStarted) WSACleanup();
    g_winsockStarted = false;
    FreeLibrary(g_hDnssd);
    g_hDnssd = nullptr;
    g_calls = {};
}
