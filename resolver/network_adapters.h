// Survey of the PC's network adapters through the IP helper interface.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "win32_sync.h"

struct NetworkAdapter {
    std::wstring name;          // interface GUID in braces (dongle survey only)
    std::wstring description;
    std::wstring connectionID;  // connection name from the registry (dongle survey only)
    int32_t type = 0;           // 6 Ethernet, 71 IEEE 802.11, ...
    int32_t index = 0;          // the number DNS-SD reports as interface index
};

constexpr int32_t kAdapterTypeWireless = 71;
constexpr int32_t kAdapterTypeEthernet = 6;

// The last survey of GetNetworkInterfaces, in the platform's order; read under g_AdaptersLock.
extern std::vector<NetworkAdapter> g_Adapters;
extern CMutex g_AdaptersLock;
// The IP helper library loaded at initialisation; no adapter is found while it is null.
extern std::atomic<HMODULE> g_hIphlpapi;

using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

// Where the adapter records come from; tests replace the lookup to supply records of their own.
struct AdapterPlatform {
    // GetAdaptersInfo of the given IP helper module, or null.
    GetAdaptersInfoFn (*findGetAdaptersInfo)(HMODULE iphlpapi);
};
AdapterPlatform& AdapterPlatformCalls();
const AdapterPlatform& RealAdapterPlatform();

// The chained adapter records of one GetAdaptersInfo call, in storage of their own.
class AdapterRecords {
public:
    // True when the records were read; then logs the survey's heading line.
    bool Read(HMODULE iphlpapi);
    const IP_ADAPTER_INFO* First() const { return m_records.empty() ? nullptr : m_records.data(); }

private:
    std::vector<IP_ADAPTER_INFO> m_records;
};

// Replaces g_Adapters with a fresh survey; the walk stops early once *exitFlag is set.
void GetNetworkInterfaces(const std::atomic<bool>* exitFlag = nullptr);
int32_t FindUSBInterface();                 // index of the USB (Remote NDIS) adapter, or -1
int32_t LookupAdapterType(int32_t index);   // type of the adapter with that index, or -1
bool isDongle(const std::wstring& description);
std::wstring getConnectionID(const char* adapterName);
const wchar_t* AdapterTypeName(int32_t type);
void _log_adapter_info(const IP_ADAPTER_INFO* pAdapter, int position);
void LogAddressList(const IP_ADDR_STRING* list);
