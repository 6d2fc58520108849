#include "fake_adapters.h"

#include <cstring>

#include "network_adapters.h"

namespace {

std::vector<FakeAdapter> s_adapters;
std::vector<ULONG> s_callSizes;

ULONG WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size)
{
    s_callSizes.push_back(*size);
    if (s_adapters.empty()) return ERROR_NO_DATA;
    const ULONG needed = static_cast<ULONG>(s_adapters.size() * sizeof(IP_ADAPTER_INFO));
    if (*size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0, needed);
    for (std::size_t i = 0; i < s_adapters.size(); ++i) {
        IP_ADAPTER_INFO& record = buffer[i];
        std::strncpy(record.AdapterName, s_adapters[i].name.c_str(), sizeof(record.AdapterName) - 1);
        std::strncpy(record.Description, s_adapters[i].description.c_str(),
                     sizeof(record.Description) - 1);
        record.Type = s_adapters[i].type;
        record.Index = s_adapters[i].index;
        record.Next = i + 1 < s_adapters.size() ? &buffer[i + 1] : nullptr;
    }
    return ERROR_SUCCESS;
}

GetAdaptersInfoFn FindFake(HMODULE) { return FakeGetAdaptersInfo; }

}  // namespace

FakeAdapterList::FakeAdapterList(std::vector<FakeAdapter> adapters)
{
    s_adapters = std::move(adapters);
    s_callSizes.clear();
    AdapterPlatformCalls().findGetAdaptersInfo = FindFake;
}

FakeAdapterList::~FakeAdapterList()
{
    AdapterPlatformCalls() = RealAdapterPlatform();
    std::lock_guard<CMutex> lock(g_AdaptersLock);
    g_Adapters.clear();
}

std::vector<ULONG> FakeAdapterList::CallSizes() { return s_callSizes; }

ULONG(WINAPI* FakeAdapterList::Function())(PIP_ADAPTER_INFO, PULONG) { return FakeGetAdaptersInfo; }
