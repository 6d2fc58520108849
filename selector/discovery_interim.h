// The discovery calls and tables the selection dialog uses, declared here until the discovery
// engine (discovery.h) provides them.
#pragma once

#include <windows.h>

const unsigned int MAX_VCIS = 20;

struct VciLinks {
    int usb;
    int wifi;
    int eth;
};

extern HMODULE g_hDnssd;
extern unsigned int g_ShownCount;
extern char g_ShownNames[MAX_VCIS][100];
extern VciLinks g_ShownLinks[MAX_VCIS];

bool LoadDnssd();
void StartBrowse();
bool SnapshotChanged();
void ScheduleTxtQuery(const char* domainSuffix);
void StopDiscovery();
// Releases the library once; no effect when it is not loaded.
void ReleaseDnssd();

extern unsigned int g_VciCount;
extern char g_VciNames[MAX_VCIS][100];
extern VciLinks g_VciLinks[MAX_VCIS];
