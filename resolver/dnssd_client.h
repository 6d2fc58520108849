// The resolver's DNS-SD client: the library bound at run time and the two phases of a run.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "dns_sd_api.h"
#include "run_state.h"
#include "worker_thread.h"

class CResolverRun;

extern std::atomic<PFN_DNSServiceGetAddrInfo> gDNSServiceGetAddrInfo;
extern std::atomic<PFN_DNSServiceRefDeallocate> gDNSServiceRefDeallocate;
extern std::atomic<PFN_DNSServiceProcessResult> gDNSServiceProcessResult;
extern std::atomic<PFN_DNSServiceRefSockFD> gDNSServiceRefSockFD;
extern std::atomic<PFN_DNSServiceResolve> gDNSServiceResolve;

extern std::atomic<HMODULE> g_hDnssd;
extern std::wstring g_strDnssdPath;

// 0 when dnssd.dll beside this library and the IP helper library were loaded, 1 otherwise.
int Load_DNSSD_Library();
// Releases both libraries and forgets every bound entry point.
void Unload_DNSSD_Library();

// The two phases, on the resolution thread; eventLoop is the run's event-loop thread, free when
// a phase starts and again when it returns. True when the phase's event was signalled in time
// (and, for the address, an address was delivered).
bool GoResolveService(CResolverRun& run, CWorkerThread& eventLoop, uint32_t interfaceIndex);
bool GoGetAddressInfo(CResolverRun& run, CWorkerThread& eventLoop);
// The event loop of one phase: feeds the run's current reference to the library until the
// phase or the run stops it, then deallocates it. context: the run (see StartRunThread).
void HandleEvents(void* context, HANDLE hStop);

// The resolver's rule for one resolve answer that came on interfaceIndex: true when a run that
// wants the given link keeps it. A USB run keeps every answer (it asks on the USB adapter
// alone); a Wi-Fi run one that came on a wireless adapter, else one that did not come on the
// USB adapter; an Ethernet run likewise with a wired Ethernet adapter. Judged on the last
// adapter survey; writes the rule's trace lines, except the USB run's, which follows the saving.
bool KeepResolveReply(EDesiredInterface desired, uint32_t interfaceIndex);
// Whether an address answer counts: only a real answer is an address. A reply with an error
// code (a negative answer, which may carry 0.0.0.0 as unicast DNS does) or with the unspecified
// address 0.0.0.0 never is.
bool IsUsableAddress(DNSServiceErrorType errorCode, const sockaddr* address);

// context: the run the operation belongs to.
void DNSSD_API resolve_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                             DNSServiceErrorType errorCode, const char* fullname,
                             const char* hosttarget, uint16_t port, uint16_t txtLen,
                             const unsigned char* txtRecord, void* context);
void DNSSD_API addrinfo_reply(DNSServiceRef sdRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                              DNSServiceErrorType errorCode, const char* hostname,
                              const sockaddr* address, uint32_t ttl, void* context);
