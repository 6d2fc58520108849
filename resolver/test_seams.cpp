// Test build only (see test_seams.h).
#include "test_seams.h"

#include "network_adapters.h"
#include "os_version.h"
#include "resolution.h"

namespace {

GetAdaptersInfoFn s_getAdaptersInfo = nullptr;

GetAdaptersInfoFn FindTestGetAdaptersInfo(HMODULE) { return s_getAdaptersInfo; }

}  // namespace

extern "C" void __cdecl ZanviResolverTest_SetSeams(const ZanviResolverTestSeams* seams)
{
    const ZanviResolverTestSeams none{};
    const ZanviResolverTestSeams& s = seams ? *seams : none;
    s_getAdaptersInfo = s.getAdaptersInfo;
    AdapterPlatformCalls() = s.getAdaptersInfo ? AdapterPlatform{FindTestGetAdaptersInfo}
                                               : RealAdapterPlatform();
    ResolutionPlatformCalls() = RealResolutionPlatform();
    if (s.pauseBeforeUsbRetry) ResolutionPlatformCalls().pauseBeforeUsbRetry = s.pauseBeforeUsbRetry;
    if (s.getAppDataFolder) ResolutionPlatformCalls().getAppDataFolder = s.getAppDataFolder;
    g_pWlanCallsOverride = s.wlan;
    OsPlatformCalls() = RealOsPlatform();
    if (s.getVersionEx) OsPlatformCalls().getVersionEx = s.getVersionEx;
}
