// The PC's adapters in the demo's simulated network, as GetAdaptersInfo reports them: index 2
// a Remote NDIS (USB) adapter, 3 Wi-Fi, 4 Ethernet, the interfaces on which
// demo/dnssd_scenario.txt shows its VCIs. Under Wine the PC's own adapters lead to no VCI.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

ULONG WINAPI DemoGetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size);
