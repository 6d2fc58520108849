// Many runs in a row, as a busy host makes them: Init, Execute, then Cancel and at once Execute
// again, or a wait for the outcome, or nothing; then Free. The environment variable
// ZANVI_RESOLVER_CYCLES sets how many (20 by default; 1000 for a run by hand).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "fake_adapters.h"
#include "plugin_host.h"
#include "test_files.h"

namespace {

int Cycles()
{
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZANVI_RESOLVER_CYCLES", value, 16);
    const int cycles = length > 0 && length < 16 ? _wtoi(value) : 0;
    return cycles > 0 ? cycles : 20;
}

TEST(PluginCyclesTest, BackToBackRunsNeverRejectAValidTextNorHang)
{
    const char* const text = "VCI-A7._zeb_vci._tcp.local,58713,eth";
    FakeAdapterList adapters({{"{11111111-0000-0000-0000-000000000003}", "Intel Ethernet", 6, 3}});
    PluginHost host(L"ZanviResolverSeams.dll", true);
    ASSERT_TRUE(host.Loaded());
    host.UseFakeSeams();
    // Read by every fresh load of the stand-in, so each cycle sees the same network.
    ASSERT_TRUE(WriteWholeFile(host.Dir().File(L"dnssd_scenario.txt"),
                               "reply-delay 150\n"
                               "instance VCI-A7 _zeb_vci._tcp\n  interfaces 3\n  host vci-a7.local.\n"
                               "  port 58713\n  address 10.0.0.3 after 300\n"));
    std::mt19937 random(15);
    const int cycles = Cycles();
    int accepted = 0, rejected = 0, canceled = 0, ready = 0, failed = 0;
    const DWORD start = GetTickCount();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_EQ(host.Init(), 0) << "cycle " << cycle;
        (host.Execute(text, host.ipAddress, host.port) == 1 ? accepted : rejected) += 1;
        switch (random() % 3) {
        case 0:
            Sleep(random() % 1200);  // into the resolve or the address phase
            canceled += host.Cancel() == 4;
            (host.Execute(text, host.ipAddress, host.port) == 1 ? accepted : rejected) += 1;
            break;
        case 1:
            (host.PollUntilDone(5000) == 3 ? ready : failed) += 1;
            break;
        default:
            Sleep(random() % 1200);
            break;
        }
        Sleep(random() % 300);
        ASSERT_EQ(host.Free(), 3) << "cycle " << cycle;
    }
    std::printf("%d cycles in %lu ms: %d texts accepted, %d rejected; %d Cancel answered 4; "
                "%d waits Ready, %d not\n",
                cycles, static_cast<unsigned long>(GetTickCount() - start), accepted, rejected,
                canceled, ready, failed);
    EXPECT_EQ(rejected, 0);
    EXPECT_EQ(failed, 0);
    host.Unload();
    Sleep(3000);  // a thread given up on ends once the stand-in's delivery returns
    EXPECT_EQ(GetModuleHandleW(host.Dir().File(L"ZanviResolverSeams.dll").c_str()), nullptr);
}

}  // namespace
