// The update plug-in's worker lifecycle as hosts drive it: retrying after a cancel, a diagnostic
// or a refusal while the worker is still inside a runtime call, quitting during an install, and
// a second host thread calling in while the runtime is inside a slow call.
// Each case is played by a host process of its own (fw_update_lifecycle_host), so that a crash
// after Free and FreeLibrary, or a Free that never returns, shows as that process's end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "plugin_fixture.h"
#include "runtime_fixture.h"
#include "test_files.h"

namespace {

// The worker spends 2 s connecting ("entered:DrxRtConnect"): long after the host's next command.
const char kSlowConnect[] = "pause DrxRtConnect 2000\n";
// Ten components, 500 ms apart.
const char kLongInstall[] = "install 10\ndelay 500\n";
// Every status query fails, so the install never reports its end.
const char kEndlessInstall[] = "fail DrxRtInstallGetStatus 0x50000005\n";
// The runtime takes 4 s to accept the install.
const char kSlowInstallCall[] = "pause DrxRtInstallVCIApp 4000\n";
// A runtime call that outlasts Free's 10 s.
const char kStuckInstallCall[] = "pause DrxRtInstallVCIApp 14000\n";

struct Case {
    const char* name;
    const char* scenario;  // added to the world
    std::vector<std::string> steps;
    DWORD boundMs;  // the host process must have ended by then
};

const Case kCases[] = {
    // A second update while the first worker still connects is refused as during US_Working,
    // whatever the states show; Free then waits for the worker before it unloads the runtime.
    {"CancelThenUpdate", kSlowConnect,
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtConnect", "cancel", "states:4/0", "run:FWUpdate=-1", "states:5/2",
      "free<6000", "unload", "sleep:3000"},
     20000},
    {"DiagnosticThenUpdate", kSlowConnect,
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtConnect", "run:discoverModules (debug)=0", "states:3/0", "run:FWUpdate=-1",
      "states:5/2", "free<6000", "unload", "sleep:3000"},
     20000},
    {"RefusedThenUpdate", kSlowConnect,
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtConnect", "run:FWUpdate=-1", "states:5/2", "run:FWUpdate=-1", "states:5/2",
      "free<6000", "unload", "sleep:3000"},
     20000},
    // Free wakes the install wait: it does not sit out the remaining 4 s of the install.
    {"FreeDuringAnInstall", kLongInstall,
     {"load", "init", "run:FWUpdate=0", "installing", "free<2500", "unload", "sleep:1000"}, 20000},
    {"FreeDuringAnEndlessInstall", kEndlessInstall,
     {"load", "init", "run:FWUpdate=0", "sleep:500", "free<3000", "unload", "sleep:1000"}, 20000},
    // Cancel shows at once but does not end the install: no second install starts before the
    // first has ended, and only Free stops following it.
    {"CancelLeavesAnEndlessInstallRunning", kEndlessInstall,
     {"load", "init", "run:FWUpdate=0", "sleep:500", "cancel<50", "states:4/0", "run:FWUpdate=-1", "states:5/2",
      "sleep:500", "run:FWUpdate=-1", "free<3000", "unload", "sleep:1000"},
     20000},
    {"CancelDuringAnInstallIsFollowedToItsRealEnd", kLongInstall,
     {"load", "init", "run:FWUpdate=0", "installing", "cancel<50", "states:4/0", "run:FWUpdate=-1", "states:5/2",
      "until:3/0", "run:FWUpdate=0", "free<3000", "unload"},
     30000},
    // The state exports and Cancel answer at once while the runtime sits in its install call.
    {"CancelAndPollsDuringASlowInstallCall", kSlowInstallCall,
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtInstallVCIApp", "polls<50", "cancel<50", "polls<50",
      "states:4/0", "run:FWUpdate=-1", "states:5/2", "until:3/0", "free<3000", "unload"},
     30000},
    // A connect failure that coincides with a Cancel is reported with its reason (device in use).
    {"FailureDuringACancelKeepsItsReason", "pause DrxRtConnect 1500\nfail DrxRtConnect 0x50002005\n",
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtConnect", "cancel<50", "states:4/0", "until:5/15", "free<3000",
      "unload"},
     30000},
    // A runtime call that outlasts Free's wait: Free gives the worker up after 10 s; Init then
    // fails as a failed Init does (engine kept, its states, Free 0) until the worker has ended,
    // then starts afresh.
    {"FreeGivesUpOnAStuckRuntimeCall", "pause DrxRtConnect 14000\n",
     {"load", "init", "run:FWUpdate=0", "entered:DrxRtConnect", "free<12500", "init=-1", "states:5/-1",
      "polls<50", "free<1000", "sleep:5000", "init", "free<3000", "unload"},
     40000},
    // The given-up worker cleans up after itself once its call returns, also after the host has
    // unloaded the plug-in: no handle, thread or library of it is left. (A first cycle and a
    // shell call have the platform open what it keeps for the process, such as its INI file
    // mapping key and, under Wine, the user32 that the shell library brings in.)
    {"UnloadWithAStuckRuntimeCall", "pause DrxRtConnect 14000\n",
     {"shell", "load", "init", "run:discoverModules (debug)=0", "free<3000", "unload", "baseline", "load", "init", "run:FWUpdate=0", "entered:DrxRtConnect",
      "free<12500", "unload", "gone"},
     40000},
    {"FreeWithinItsBoundDuringAStuckInstallCall", kStuckInstallCall,
     {"shell", "load", "init", "run:discoverModules (debug)=0", "free<3000", "unload", "baseline", "load", "init", "run:FWUpdate=0",
      "entered:DrxRtInstallVCIApp", "cancel<50", "free<11000", "unload", "gone"},
     40000},
    // Free's own runtime calls may hang too: the runtime's shutdown goes on on a thread of its own
    // and Free returns within its bound; Init fails as a failed Init does until that has ended.
    {"FreeWithinItsBoundWhenTheRuntimeShutdownHangs", "pause DrxRtDestruct 14000\n",
     {"load", "init", "free<11000", "init=-1", "states:5/-1", "free<1000", "unload"}, 40000},
    // A diagnostic install on a second host thread, whose runtime never reports: Cancel and Free
    // release that thread; the runtime's install still counts, so no update starts.
    {"CancelReleasesADiagnosticInstall", kEndlessInstall,
     {"load", "init", "run:connectToVci (debug)=0", "thread:run:installZEBApp (debug)=0", "sleep:500", "polls<50",
      "cancel<50", "joined<2000", "states:4/0", "run:FWUpdate=-1", "states:5/2", "free<3000", "unload"},
     20000},
    {"FreeReleasesADiagnosticInstall", kEndlessInstall,
     {"load", "init", "run:connectToVci (debug)=0", "thread:run:installZEBApp (debug)=0", "sleep:500", "free<3000",
      "joined<2000", "unload"},
     20000},
    // Free does not destroy the engine under another host thread's call: past its bound it gives
    // the engine up to that call, which releases it when it returns.
    {"FreeGivesUpToAStuckHostCall", "pause DrxRtConnect 14000\n",
     {"load", "init", "thread:run:connectToVci (debug)=0", "entered:DrxRtConnect", "free<12500", "init=-1",
      "states:5/-1", "free<1000", "joined<5000", "init", "free<3000", "unload"},
     40000},
    // Host texts longer than any real one never reach the platform: a bad argument.
    {"OverlongTextsAreRefused", "",
     {"load", "init", "long:0/40000=-1", "states:5/22", "long:40000/0=-1", "states:5/22", "long:0/255=-1",
      "states:5/59", "free<3000", "unload"},
     20000},
    // Every way of ending a cycle, many times in one process.
    {"RepeatedCycles", "",
     {"cycles=60", "load", "init", "run:FWUpdate=0", "cancel|run:FWUpdate|-", "free<5000", "unload"}, 60000},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class LifecycleTest : public ::testing::TestWithParam<Case> {
protected:
    RuntimeRegistration registration{StandInPath()};
    HostIni ini{"Zanvi", kDevice};
};

TEST_P(LifecycleTest, HostProcessPlaysEveryStepAndEndsCleanly)
{
    const Case& c = GetParam();
    ScenarioFile scenario(std::string(kWorld) + c.scenario);
    std::wstring command = L"\"" + TestDir() + L"\\fw_update_lifecycle_host.exe\" \"" + BinDir() +
                           L"\\zeb_fw_update.dll\"";
    for (const std::string& step : c.steps) command += L" \"" + Widen(step) + L"\"";
    ChildProcess host(command);
    ASSERT_TRUE(host.Started());
    DWORD code = host.Wait(c.boundMs);
    ASSERT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "still running after " << c.boundMs << " ms";
    // 10 + n: step n (not counting cycles=) did not give what it expects; else not 0: a crash.
    const size_t first = c.steps[0].compare(0, 7, "cycles=") == 0 ? 1 : 0;
    const size_t step = first + code - 11;
    std::string failed = code > 10 && step < c.steps.size() ? c.steps[step] : "(none)";
    EXPECT_EQ(code, 0u) << std::hex << "exit code 0x" << code << ", step " << failed;
}

INSTANTIATE_TEST_SUITE_P(Hosts, LifecycleTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
