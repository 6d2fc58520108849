// Adapter records of our own choosing, handed to the resolver in place of GetAdaptersInfo.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

struct FakeAdapter {
    std::string name;
    std::string description;
    UINT type;
    DWORD index;
};

// Installs the list for the object's lifetime; an empty list makes GetAdaptersInfo fail.
class FakeAdapterList {
public:
    explicit FakeAdapterList(std::vector<FakeAdapter> adapters);
    ~FakeAdapterList();
    FakeAdapterList(const FakeAdapterList&) = delete;
    FakeAdapterList& operator=(const FakeAdapterList&) = delete;

    // The buffer sizes GetAdaptersInfo was called with, in order.
    static std::vector<ULONG> CallSizes();
    // The fake GetAdaptersInfo itself, for a plug-in built with reachable seams.
    static ULONG(WINAPI* Function())(PIP_ADAPTER_INFO, PULONG);
};
