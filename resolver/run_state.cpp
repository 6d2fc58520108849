#include "run_state.h"

std::atomic<HMODULE> g_hModule{nullptr};

std::atomic<EResolverState> g_ResolverState{RS_Idle};
std::atomic<int32_t> g_Progress{0};
std::atomic<int32_t> g_ProgressMax{kDefaultProgressMax};
std::atomic<bool> g_Initialized{false};
CMutex g_StateLock;

std::atomic<HANDLE> g_hResolveDone{nullptr};
std::atomic<HANDLE> g_hGetAddrInfoDone{nullptr};

std::atomic<char*> g_pzIpAddress{nullptr};
std::atomic<char*> g_pzPort{nullptr};

char g_szFullServiceName[kRequestFieldSize];
char g_szPortField[kRequestFieldSize];
char g_szInterfaceField[kRequestFieldSize];
char g_szServiceName[kRequestFieldSize];
char g_szRegType[kRequestFieldSize];
char g_szDomain[kRequestFieldSize];
char g_szDongleSsid[kRequestFieldSize];

EDesiredInterface DesiredInterfaceFor(const char* interfaceField)
{
    const char first = interfaceField ? interfaceField[0] : '\0';
    if (first == 'u') return DESIRED_USB;
    if (first == 'w' || first == 'W') return DESIRED_WIFI;
    return DESIRED_ETH;
}
