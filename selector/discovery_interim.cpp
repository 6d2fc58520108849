// Placeholder for the discovery engine: empty tables, nothing browsed.
#include "discovery_interim.h"

#include <cstring>

HMODULE g_hDnssd = nullptr;
unsigned int g_VciCount = 0;
char g_VciNames[MAX_VCIS][100] = {};
VciLinks g_VciLinks[MAX_VCIS] = {};
unsigned int g_ShownCount = 0;
char g_ShownNames[MAX_VCIS][100] = {};
VciLinks g_ShownLinks[MAX_VCIS] = {};

bool LoadDnssd() { return true; }
void StartBrowse() {}

bool SnapshotChanged()
{
    bool changed = g_VciCount != g_ShownCount;
    for (unsigned int i = 0; !changed && i < g_VciCount; ++i)
        changed = std::strcmp(g_VciNames[i], g_ShownNames[i]) != 0 ||
                  std::memcmp(&g_VciLinks[i], &g_ShownLinks[i], sizeof(VciLinks)) != 0;
    if (!changed) return false;
    g_ShownCount = g_VciCount;
    std::memcpy(g_ShownNames, g_VciNames, sizeof(g_ShownNames));
    std::memcpy(g_ShownLinks, g_VciLinks, sizeof(g_ShownLinks));
    return true;
}

void ScheduleTxtQuery(const char*) {}
void StopDiscovery() {}
void ReleaseDnssd() {}
