#include "demo_adapters.h"

#include <strsafe.h>

#include <cstring>

namespace {

struct DemoAdapter {
    const char* name;
    const char* description;
    UINT type;
    DWORD index;
    const char* ipv4;
};

const DemoAdapter kDemoAdapters[] = {
    {"{5A1B2C3D-0000-4000-8000-000000000002}", "Remote NDIS based Internet Sharing Device", MIB_IF_TYPE_ETHERNET, 2,
     "169.254.10.2"},
    {"{5A1B2C3D-0000-4000-8000-000000000003}", "Intel(R) Dual Band Wireless-AC 8265", IF_TYPE_IEEE80211, 3,
     "10.10.0.100"},
    {"{5A1B2C3D-0000-4000-8000-000000000004}", "Intel(R) Ethernet Connection I219-LM", MIB_IF_TYPE_ETHERNET, 4,
     "192.168.1.10"},
};
constexpr ULONG kAdapterCount = sizeof(kDemoAdapters) / sizeof(kDemoAdapters[0]);

}  // namespace

ULONG WINAPI DemoGetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size)
{
    if (!size) return ERROR_INVALID_PARAMETER;
    const ULONG needed = kAdapterCount * sizeof(IP_ADAPTER_INFO);
    if (!buffer || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0, needed);
    for (ULONG i = 0; i < kAdapterCount; ++i) {
        IP_ADAPTER_INFO& record = buffer[i];
        StringCchCopyA(record.AdapterName, sizeof(record.AdapterName), kDemoAdapters[i].name);
        StringCchCopyA(record.Description, sizeof(record.Description), kDemoAdapters[i].description);
        record.Type = kDemoAdapters[i].type;
        record.Index = kDemoAdapters[i].index;
        StringCchCopyA(record.IpAddressList.IpAddress.String, sizeof(record.IpAddressList.IpAddress.String),
                       kDemoAdapters[i].ipv4);
        StringCchCopyA(record.IpAddressList.IpMask.String, sizeof(record.IpAddressList.IpMask.String),
                       "255.255.0.0");
        record.Next = i + 1 < kAdapterCount ? &buffer[i + 1] : nullptr;
    }
    return ERROR_SUCCESS;
}
