#include "run_state.h"

std::atomic<HMODULE> g_hModule{nullptr};

std::atomic<EResolverState> g_ResolverState{RS_Idle};
std::atomic<int32_t> g_Progress{0};
std::atomic<int32_t> g_ProgressMax{kDefaultProgressMax};
std::atomic<bool> g_Initialized{false};
std::atomic<bool> g_ExitFlag{false};
std::atomic<bool> g_StopFlag{false};

std::atomic<HANDLE> g_hResolveDone{nullptr};
std::atomic<HANDLE> g_hGetAddrInfoDone{nullptr};
std::atomic<HANDLE> g_hMainThread{nullptr};
std::atomic<HANDLE> g_hTimerThread{nullptr};
std::atomic<HANDLE> g_hEventThread{nullptr};

std::atomic<char*> g_pzIpAddress{nullptr};
std::atomic<char*> g_pzPort{nullptr};

char g_szFullServiceName[kRequestFieldSize];
char g_szPortField[kRequestFieldSize];
char g_szInterfaceField[kRequestFieldSize];
char g_szServiceName[kRequestFieldSize];
char g_szRegType[kRequestFieldSize];
char g_szDomain[kRequestFieldSize];
char g_szDongleSsid[kRequestFieldSize];

std::atomic<int32_t> g_DesiredInterface{DESIRED_USB};
std::atomic<uint32_t> g_InterfaceIndex{0};

EDesiredInterface DesiredInterfaceFor(const char* interfaceField)
{
    const char first = interfaceField ? interfaceField[0] : '\0';
    if (first == 'u') return DESIRED_USB;
    if (first == 'w' || first == 'W') return DESIRED_WIFI;
    return DESIRED_ETH;
}

std::atomic<HANDLE> g_hStopEvent{nullptr};

void SignalStop()
{
    g_StopFlag = true;
    if (HANDLE stop = g_hStopEvent) SetEvent(stop);
}

void ClearStop()
{
    g_StopFlag = false;
    if (HANDLE stop = g_hStopEvent) ResetEvent(stop);
}

bool WaitUnlessStopped(HANDLE event, DWORD ms)
{
    HANDLE stop = g_hStopEvent;
    if (!event) {
        if (stop) WaitForSingleObject(stop, ms);
        return false;
    }
    if (!stop) return WaitForSingleObject(event, ms) == WAIT_OBJECT_0;
    HANDLE handles[2] = {event, stop};
    return WaitForMultipleObjects(2, handles, FALSE, ms) == WAIT_OBJECT_0;
}
