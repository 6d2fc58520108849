// The Wi-Fi dongle's survey: its own reference to the IP helper library for one preparation.
#pragma once

#include <windows.h>

#include "network_adapters.h"

class CNetworkAdapterInfo {
public:
    CNetworkAdapterInfo();
    ~CNetworkAdapterInfo();
    CNetworkAdapterInfo(const CNetworkAdapterInfo&) = delete;
    CNetworkAdapterInfo& operator=(const CNetworkAdapterInfo&) = delete;

    // 1 with result filled from the first Wi-Fi dongle, 0 when there is none.
    int getInterfaces(NetworkAdapter& result);

private:
    HMODULE m_hIphlpapi;
};
