// zanvi_host for the demo and the doctor's tests: the same program, but the adapter survey it
// takes from the resolver sees the adapters of the demo's simulated network, as the resolver's
// test build does behind tests/e2e/resolver_shim. Under Wine the PC's own adapters lead to no VCI.
#include "demo_adapters.h"
#include "host_main.h"
#include "network_adapters.h"

namespace {

GetAdaptersInfoFn FindDemoGetAdaptersInfo(HMODULE) { return DemoGetAdaptersInfo; }

}  // namespace

int main()
{
    AdapterPlatformCalls() = AdapterPlatform{FindDemoGetAdaptersInfo};
    return HostMain();
}
