// Process-wide state of the resolver: one resolver per process, no handle crosses the interface.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "win32_sync.h"

enum EResolverState : int32_t {
    RS_Idle = 0,
    RS_Init = 1,
    RS_Working = 2,
    RS_Ready = 3,
    RS_Canceled = 4,
    RS_Error = 5,
};

enum EDesiredInterface : int32_t {
    DESIRED_USB = 0,
    DESIRED_WIFI = 1,
    DESIRED_ETH = 2,
};

// Each request field holds at most kRequestFieldSize - 1 characters and its terminator.
constexpr std::size_t kRequestFieldSize = 100;
constexpr int32_t kDefaultProgressMax = 60;

extern std::atomic<HMODULE> g_hModule;

// Polled by the host without a lock. A run's threads change them, and the host's buffers, only
// under g_StateLock and only while their run is live (see CResolverRun).
extern std::atomic<EResolverState> g_ResolverState;
extern std::atomic<int32_t> g_Progress;
extern std::atomic<int32_t> g_ProgressMax;
extern std::atomic<bool> g_Initialized;
extern CMutex g_StateLock;

extern std::atomic<HANDLE> g_hResolveDone;
extern std::atomic<HANDLE> g_hGetAddrInfoDone;

// The host's result buffers; the library writes them and never reads them.
extern std::atomic<char*> g_pzIpAddress;
extern std::atomic<char*> g_pzPort;

// The request last taken apart by Execute, on the host's thread; a run copies what its threads use.
extern char g_szFullServiceName[kRequestFieldSize];
extern char g_szPortField[kRequestFieldSize];
extern char g_szInterfaceField[kRequestFieldSize];
extern char g_szServiceName[kRequestFieldSize];
extern char g_szRegType[kRequestFieldSize];
extern char g_szDomain[kRequestFieldSize];
extern char g_szDongleSsid[kRequestFieldSize];

// The link a run wants, from the first character of the link field: only a lower-case "u" is
// USB, "w" in either case Wi-Fi, anything else Ethernet.
EDesiredInterface DesiredInterfaceFor(const char* interfaceField);
