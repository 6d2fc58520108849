// Extra exports of the dnssd stand-in that let tests steer the simulated network while it
// runs. Plain C names, the platform's default C calling convention; bind them with
// GetProcAddress by the names below. Every function is safe to call from any thread.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One DNSServiceReconfirmRecord call as it was made.
typedef struct ZanviDnssdReconfirm {
    uint32_t flags;
    uint32_t interfaceIndex;
    char fullname[256];       // cut to 255 bytes
    uint16_t rrtype;
    uint16_t rrclass;
    uint16_t rdlen;           // as passed
    unsigned char rdata[512]; // the first min(rdlen, 512) bytes
} ZanviDnssdReconfirm;

// Replaces the whole simulation by the scenario file at path (the system code page); 0 on
// success. On failure the running simulation is kept and ZanviDnssdLastError tells why.
typedef int(__cdecl* PFN_ZanviDnssdLoadScenario)(const char* path);
// Copies the last scenario error ("<file>:<line>: <what>"), "" when none; answers its length.
typedef int(__cdecl* PFN_ZanviDnssdLastError)(char* buffer, int size);
// An empty network: no instances, timeline, error injections or recorded reconfirms; the
// clock restarts. Open references stay open and receive nothing further.
typedef void(__cdecl* PFN_ZanviDnssdReset)(void);
// Announces an instance on one interface (browses see an add). A new instance takes host,
// port and one IPv4 address ("a.b.c.d") from the arguments; null host means name + ".local.",
// null ipv4 means none; an instance that exists keeps its own. domain null means "local.".
typedef int(__cdecl* PFN_ZanviDnssdAddInstance)(const char* name, const char* regtype,
    const char* domain, uint32_t interfaceIndex, const char* host, uint16_t port,
    const char* ipv4);
// Withdraws an instance from one interface, or from all with interfaceIndex 0: a goodbye for
// its browse record, which browses see goodbye-delay later; its other records stay cached.
typedef int(__cdecl* PFN_ZanviDnssdRemoveInstance)(const char* name, const char* regtype,
    const char* domain, uint32_t interfaceIndex);
// Replaces an instance's raw TXT rdata; live queries and resolves see the change.
typedef int(__cdecl* PFN_ZanviDnssdSetTxt)(const char* name, const char* regtype,
    const char* domain, const void* rdata, uint16_t length);
// Arms an error for the next calls: call is "browse", "query", "reconfirm", "resolve" or
// "getaddrinfo"; fault is "fail", "reply-error" or "process-error"; times -1 means always.
// A process error also wakes the live references of that call.
typedef int(__cdecl* PFN_ZanviDnssdInjectError)(const char* call, const char* fault,
    int32_t code, int32_t times);
typedef int(__cdecl* PFN_ZanviDnssdReconfirmCount)(void);
// Copies the index-th recorded reconfirm (0 first); 0 on success, -1 for no such record.
typedef int(__cdecl* PFN_ZanviDnssdGetReconfirm)(int index, ZanviDnssdReconfirm* out);
// References created and not yet deallocated.
typedef int(__cdecl* PFN_ZanviDnssdOpenReferences)(void);
// Holds the next call of one entry point ("DNSServiceResolve", "DNSServiceProcessResult", ...):
// it waits ms at its start, then works as usual; enteredEvent (an event handle, or null) is set
// when the call begins to wait. A new hold replaces one not yet taken. -1 for an unknown name.
typedef int(__cdecl* PFN_ZanviDnssdHoldCall)(const char* entryPoint, uint32_t ms,
    void* enteredEvent);

#ifdef __cplusplus
}
#endif
