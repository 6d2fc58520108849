// Many runs in a row, as a busy host makes them: Init, Execute, then Cancel and at once Execute
// again, or a wait for the outcome, or nothing; then Free. The environment variable
// ZANVI_RESOLVER_CYCLES sets how many (20 by default; 1000 for a run by hand). And random host
// sequences over the stand-in's kinds of network.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

#include "fake_adapters.h"
#include "plugin_host.h"
#include "test_files.h"

namespace {

// Cancel and the state exports answer at once (target 50 ms; room for a loaded machine).
constexpr DWORD kAtOnceMs = 250;

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
    int accepted = 0, rejected = 0, cancels = 0, canceled = 0, slowCancels = 0, overwrittenCancels = 0,
        ready = 0, failed = 0;
    const DWORD start = GetTickCount();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        ASSERT_EQ(host.Init(), 0) << "cycle " << cycle;
        char address[16] = {};
        char port[6] = {};
        (host.Execute(text, address, port) == 1 ? accepted : rejected) += 1;
        switch (cycle % 3) {  // each kind of cycle as often
        case 0: {
            Sleep(random() % 1200);  // into the resolve or the address phase
            ++cancels;
            const DWORD start = GetTickCount();
            canceled += host.Cancel() == 4;
            slowCancels += GetTickCount() - start >= kAtOnceMs;
            // The run really stopped: none of its threads changes the state or writes the host's
            // buffers afterwards, while the host takes its time.
            const std::string addressAtCancel = address;
            Sleep(random() % 800);
            overwrittenCancels += host.ErrorState() != 4 || addressAtCancel != address;
            (host.Execute(text, host.ipAddress, host.port) == 1 ? accepted : rejected) += 1;
            break;
        }
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
    std::printf("%d cycles in %lu ms: %d texts accepted, %d rejected; %d of %d Cancel answered 4, "
                "%d slowly, %d overwritten afterwards; %d waits Ready, %d not\n",
                cycles, static_cast<unsigned long>(GetTickCount() - start), accepted, rejected, canceled,
                cancels, slowCancels, overwrittenCancels, ready, failed);
    EXPECT_EQ(rejected, 0);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(canceled, cancels);
    EXPECT_EQ(slowCancels, 0);
    EXPECT_EQ(overwrittenCancels, 0);
    host.Unload();
    Sleep(3000);  // a thread given up on ends once the stand-in's delivery returns
    EXPECT_EQ(GetModuleHandleW(host.Dir().File(L"ZanviResolverSeams.dll").c_str()), nullptr);
}

// Random host calls over the stand-in's kinds of network: a VCI that answers, none that does, a
// negative answer, a library that pauses inside its delivery. Whatever the order, Cancel and the
// state exports answer at once, and a run the host follows never reads Working past its budget;
// one that Cancel or a second Init ended reads Error (after Cancel's Canceled) at once.
TEST(PluginCyclesTest, RandomHostSequencesNeverLeaveARunWorkingPastItsBudget)
{
    const std::string vci = "instance VCI-A7 _zeb_vci._tcp\n  interfaces 5 3\n  host vci-a7.local.\n"
                            "  port 58713\n";
    const std::string networks[] = {
        "reply-delay 150\n" + vci + "  address 10.0.0.3 after 300\n",                     // kind
        "",                                                                                  // silent
        "negative-replies\n" + vci,                                                          // negative
        vci + "  address 10.0.0.3\npause resolve 2500 always\npause getaddrinfo 2500 always\n",  // paused
    };
    FakeAdapterList adapters({{"{11111111-0000-0000-0000-000000000005}", "Remote NDIS based Internet Sharing Device", 1, 5},
                              {"{11111111-0000-0000-0000-000000000003}", "Intel Ethernet", 6, 3}});
    constexpr DWORD kMarginMs = 3000;
    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        PluginHost host(L"ZanviResolverSeams.dll", true);
        ASSERT_TRUE(host.Loaded());
        host.UseFakeSeams();
        std::mt19937 random(seed);
        bool following = false, ended = false, usbRun = false;
        DWORD runStart = 0;
        const auto budgetMs = [&] { return (usbRun ? 15000u : 60000u) + kMarginMs; };
        const auto atOnce = [&](const char* name, int32_t (*call)()) {
            const DWORD start = GetTickCount();
            const int32_t result = call();
            EXPECT_LT(GetTickCount() - start, kAtOnceMs) << name;
            return result;
        };
        for (int step = 0; step < 20; ++step) {
            switch (random() % 8) {
            case 0:
                host.Init();
                ended = true;  // a run going on ends
                break;
            case 1:
            case 2: {
                const std::string& network = networks[random() % 4];
                WriteWholeFile(host.Dir().File(L"dnssd_scenario.txt"), network);
                host.LoadScenario(network);
                usbRun = random() % 2 == 0;
                const char* text = usbRun ? "VCI-A7._zeb_vci._tcp.local,58713,usb" : "VCI-A7._zeb_vci._tcp.local,58713,eth";
                following = host.Execute(text, host.ipAddress, host.port) == 1;
                ended = false;
                runStart = GetTickCount();
                break;
            }
            case 3:
                EXPECT_EQ(atOnce("Cancel", host.Cancel), 4);
                ended = true;
                break;
            case 4:
            case 5:
                if (atOnce("UpdateState", host.UpdateState) == 2 && following) {
                    EXPECT_LT(GetTickCount() - runStart, budgetMs()) << "Working past the budget";
                    EXPECT_FALSE(ended) << "an ended run reads Working";
                }
                break;
            case 6:
                atOnce("ErrorState", host.ErrorState);
                atOnce("Progress", host.Progress);
                atOnce("ProgressMax", host.ProgressMax);
                break;
            default: {
                const DWORD start = GetTickCount();
                EXPECT_EQ(host.Free(), 3);
                EXPECT_LT(GetTickCount() - start, 10000u);
                following = false;
                break;
            }
            }
            Sleep(random() % 400);
        }
        if (!following) continue;
        // The last run the host follows ends within its budget; an ended one at once. (A silent
        // Ethernet run's 60 s are not waited out: Cancel then ends it.)
        const DWORD left = budgetMs() - std::min(budgetMs(), GetTickCount() - runStart);
        const int32_t state = host.PollUntilDone(ended ? 2000 : usbRun ? left : std::min<DWORD>(left, 5000));
        if (ended || usbRun) {
            EXPECT_TRUE(state == 3 || state == 5) << "still Working, " << (ended ? "ended" : "within its budget");
        } else if (state == 0) {
            EXPECT_EQ(host.Cancel(), 4);
            EXPECT_EQ(host.UpdateState(), 5);
        }
    }
}

}  // namespace
