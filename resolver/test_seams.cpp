// Test build only (see test_seams.h).
#include "test_seams.h"

#include <atomic>
#include <new>

#include "network_adapters.h"
#include "os_version.h"
#include "resolution.h"

namespace {

GetAdaptersInfoFn s_getAdaptersInfo = nullptr;
std::atomic<bool> s_surveyThrows{false};

GetAdaptersInfoFn FindTestGetAdaptersInfo(HMODULE)
{
    // Thrown here, in the plug-in's own code: a test program's exception cannot unwind into the
    // plug-in's frames where each module carries an unwinder of its own (the i686 build).
    if (s_surveyThrows) throw std::bad_alloc();
    return s_getAdaptersInfo;
}

}  // namespace

extern "C" void __cdecl ZanviResolverTest_SetSeams(const ZanviResolverTestSeams* seams)
{
    const ZanviResolverTestSeams none{};
    const ZanviResolverTestSeams& s = seams ? *seams : none;
    s_getAdaptersInfo = s.getAdaptersInfo;
    s_surveyThrows = s.surveyThrows;
    AdapterPlatformCalls() = s.getAdaptersInfo ? AdapterPlatform{FindTestGetAdaptersInfo}
                                               : RealAdapterPlatform();
    ResolutionPlatformCalls() = RealResolutionPlatform();
    if (s.pauseBeforeUsbRetry) ResolutionPlatformCalls().pauseBeforeUsbRetry = s.pauseBeforeUsbRetry;
    if (s.getAppDataFolder) ResolutionPlatformCalls().getAppDataFolder = s.getAppDataFolder;
    g_pWlanCallsOverride = s.wlan;
    OsPlatformCalls() = RealOsPlatform();
    if (s.getVersionEx) OsPlatformCalls().getVersionEx = s.getVersionEx;
}
