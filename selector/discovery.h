// Discovery of VCIs over DNS-SD: the library bound at run time, a browse thread, one short-lived
// TXT-query thread at a time, and fixed process-wide tables of what was found. The dialog's
// 250 ms timer drives the timed part (SnapshotChanged, then ScheduleTxtQuery).
//
// A TXT question that nobody answers gets no reply from a multicast DNS-SD service, so a query
// that has waited kTxtQueryTicks ticks is ended and its name is asked again in the next pass.
//
// Which thread writes which table, under which lock: the head of discovery.cpp.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>

#include "dns_sd_api.h"
#include "link_flags.h"
#include "win32_sync.h"

constexpr int MAX_VCIS = 20;
constexpr int kVciNameBytes = 100;
// Ticks (of 250 ms) that a TXT query may wait for its first reply: room for the service's
// first retransmission (after 1 s) and one pass of the query thread (310 ms).
constexpr int32_t kTxtQueryTicks = 8;

extern HMODULE g_hDnssd;
// Service type browsed for; set per variant by the dialog's constructor.
extern char g_szServiceType[100];
extern DNSServiceRef g_BrowseRef;
// The current TXT query, its one token: its reference from StartTxtQuery until the query
// ends (its first reply, or the timer when it has waited too long), null while none is
// active. Whoever takes it out ends that query, so a late reply of an older query never ends
// a newer one. A query whose start gave no reference holds kQueryWithoutReference: its thread
// stops discovery at its first pass and the token stays, so no further query starts.
extern std::atomic<DNSServiceRef> g_QueryRef;
extern const DNSServiceRef kQueryWithoutReference;
// True from the start of a TXT query until it ends.
inline bool QueryActive()
{
    return g_QueryRef.load() != nullptr;
}
// 1 ends both worker threads; raised once per run and never cleared.
extern std::atomic<int32_t> g_StopThreads;

// The tree is drawn from the g_Shown* copy: it equals the current tables as of the last
// SnapshotChanged that answered true, and no worker thread can change it meanwhile.
extern CMutex g_TablesLock;
extern int32_t g_IdleTicks;
extern uint32_t g_VciCount;
extern char g_VciNames[MAX_VCIS][kVciNameBytes];
extern VciLinks g_VciLinks[MAX_VCIS];
extern uint32_t g_ShownCount;
extern char g_ShownNames[MAX_VCIS][kVciNameBytes];
extern VciLinks g_ShownLinks[MAX_VCIS];
extern int32_t g_PendingCount;
extern char g_PendingNames[MAX_VCIS][kVciNameBytes];
// Instances announced while the table is full, in arrival order, until a slot frees. The
// browse reports an add only once, so every one is kept, however many there are.
extern std::deque<std::string> g_Waiting;

// Loads dnssd.dll from the program's own folder and binds its calls; false (after telling the
// user) when it is missing or lacks one of them.
bool LoadDnssd();
// Starts the browse and the browse thread; once, after the timer was started.
void StartBrowse();
// Each tick: true when the tables changed since last drawn; the g_Shown* copy is then updated.
bool SnapshotChanged();
// Each tick after SnapshotChanged: ends a query that has waited too long, then starts at most
// one TXT query.
void ScheduleTxtQuery(const char* domainSuffix);
// Tells both worker threads to end; each notices within one pass of its loop.
void StopDiscovery();
// Waits (bounded) for the worker threads to end, then releases the library. A library whose
// threads did not end stays loaded rather than be pulled from under them.
void ReleaseDnssd();

// Worker thread bodies (see CWorkerThread) and DNS-SD callbacks.
void HandleBrowseEvents(void*, HANDLE hStop);
void HandleQueryEvents(void* queryRef, HANDLE hStop);
void DNSSD_API BrowseReply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                           DNSServiceErrorType errorCode, const char* serviceName,
                           const char* regtype, const char* replyDomain, void* context);
void StartTxtQuery(const char* fullName);
void DNSSD_API QueryTxtReply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname, uint16_t rrtype,
                             uint16_t rrclass, uint16_t rdlen, const void* rdata, uint32_t ttl,
                             void* context);
// Sets the link flags of the listed instance named by fullName from its TXT record data.
void ParseLinkFlags(const char* fullName, const unsigned char* data, uint16_t length);
