#include "call_hold.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

const char* const kEntryPoints[] = {
    "DNSServiceBrowse",      "DNSServiceQueryRecord",   "DNSServiceReconfirmRecord",
    "DNSServiceResolve",     "DNSServiceGetAddrInfo",   "DNSServiceRefSockFD",
    "DNSServiceProcessResult", "DNSServiceRefDeallocate"};

// One hold at a time, taken by the first call of its entry point.
SRWLOCK g_lock = SRWLOCK_INIT;
const char* g_armedFor = nullptr;  // one of kEntryPoints, or null
DWORD g_holdMs = 0;
HANDLE g_entered = nullptr;  // our own handle, or null

const char* Known(const char* name)
{
    if (!name) return nullptr;
    for (const char* entryPoint : kEntryPoints)
        if (std::strcmp(entryPoint, name) == 0) return entryPoint;
    return nullptr;
}

}  // namespace

namespace dnssd_sim {

void HoldIfArmed(const char* entryPoint)
{
    DWORD holdMs = 0;
    HANDLE entered = nullptr;
    AcquireSRWLockExclusive(&g_lock);
    const bool held = g_armedFor && std::strcmp(g_armedFor, entryPoint) == 0;
    if (held) {
        holdMs = g_holdMs;
        entered = g_entered;
        g_armedFor = nullptr;
        g_entered = nullptr;
    }
    ReleaseSRWLockExclusive(&g_lock);
    if (!held) return;
    if (entered) {
        SetEvent(entered);
        CloseHandle(entered);
    }
    Sleep(holdMs);
}

}  // namespace dnssd_sim

extern "C" int __cdecl ZanviDnssdHoldCall(const char* entryPoint, uint32_t ms, void* enteredEvent)
{
    const char* known = Known(entryPoint);
    if (!known) return -1;
    HANDLE entered = nullptr;
    if (enteredEvent && !DuplicateHandle(GetCurrentProcess(), enteredEvent, GetCurrentProcess(),
                                         &entered, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return -1;
    AcquireSRWLockExclusive(&g_lock);
    HANDLE replaced = g_entered;
    g_armedFor = known;
    g_holdMs = ms;
    g_entered = entered;
    ReleaseSRWLockExclusive(&g_lock);
    if (replaced) CloseHandle(replaced);
    return 0;
}
