// Process-wide state of the resolver: one resolver per process, no handle crosses the interface.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

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

// Polled by the host and written by the library's threads without a lock.
extern std::atomic<EResolverState> g_ResolverState;
extern std::atomic<int32_t> g_Progress;
extern std::atomic<int32_t> g_ProgressMax;
extern std::atomic<bool> g_Initialized;
extern std::atomic<bool> g_ExitFlag;  // set: the DNS-SD event loop ends, the adapter walk stops
extern std::atomic<bool> g_StopFlag;  // set: the timer ends, the resolution thread stops

extern std::atomic<HANDLE> g_hResolveDone;
extern std::atomic<HANDLE> g_hGetAddrInfoDone;
extern std::atomic<HANDLE> g_hMainThread;
extern std::atomic<HANDLE> g_hTimerThread;
extern std::atomic<HANDLE> g_hEventThread;

// The host's result buffers; the library writes them and never reads them.
extern std::atomic<char*> g_pzIpAddress;
extern std::atomic<char*> g_pzPort;

// The request of the current run, written on the host's thread before the resolution thread starts.
extern char g_szFullServiceName[kRequestFieldSize];
extern char g_szPortField[kRequestFieldSize];
extern char g_szInterfaceField[kRequestFieldSize];
extern char g_szServiceName[kRequestFieldSize];
extern char g_szRegType[kRequestFieldSize];
extern char g_szDomain[kRequestFieldSize];
extern char g_szDongleSsid[kRequestFieldSize];

extern std::atomic<int32_t> g_DesiredInterface;
extern std::atomic<uint32_t> g_InterfaceIndex;

// The link a run wants, from the first character of the link field: only a lower-case "u" is
// USB, "w" in either case Wi-Fi, anything else Ethernet.
EDesiredInterface DesiredInterfaceFor(const char* interfaceField);

// Wakes every wait of a run at once when the run is told to stop (manual reset, unnamed).
extern std::atomic<HANDLE> g_hStopEvent;
// Sets g_StopFlag and wakes the run's waits.
void SignalStop();
// Clears g_StopFlag for a new run.
void ClearStop();
// Waits up to ms for event; true when it was signalled, false on time-out or a stop.
bool WaitUnlessStopped(HANDLE event, DWORD ms);
