// The guard of function-local statics that the libraries carry in place of the runtime's (this
// program links it too): one initialisation however many threads race for it, a thrown
// initialiser leaves the next caller to try again, an initialiser that re-enters its own static
// ends the program as the runtime's guard does, and threads initialising different statics never wait
// for each other (the runtime's own guard holds one mutex across every initialiser).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_process.h"
#include "test_thread.h"

namespace {

std::atomic<int> g_constructions{0};

struct Slow {
    Slow()
    {
        ++g_constructions;
        Sleep(50);  // long enough for every other thread to arrive meanwhile
        ready = true;
    }
    bool ready = false;
};

const Slow& Shared()
{
    static Slow instance;
    return instance;
}

int g_attempts = 0;

int ThrowsOnce()
{
    if (++g_attempts == 1) throw std::runtime_error("first attempt");
    return 42;
}

int ValueAfterOneFailure()
{
    static const int value = ThrowsOnce();
    return value;
}

int Reenter();

int ReenteredValue()
{
    static const int value = Reenter();
    return value;
}

// Re-enters ReenteredValue's static from its own initialiser (a few levels at most, so that a
// guard that let it through would still end, without an error).
int Reenter()
{
    static int depth = 0;
    return ++depth < 3 ? ReenteredValue() + 1 : 0;
}

HANDLE g_firstStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
HANDLE g_secondDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// Its initialiser waits for another thread's initialisation of an unrelated static.
struct WaitsForSecond {
    WaitsForSecond()
    {
        SetEvent(g_firstStarted);
        sawSecond = WaitForSingleObject(g_secondDone, 3000) == WAIT_OBJECT_0;
    }
    bool sawSecond;
};

const WaitsForSecond& First()
{
    static WaitsForSecond instance;
    return instance;
}

struct SignalsDone {
    SignalsDone() { SetEvent(g_secondDone); }
};

void Second()
{
    static SignalsDone instance;
    (void)instance;
}

TEST(StaticInitGuardTest, RacingThreadsSeeOneFinishedInitialisation)
{
    std::atomic<int> sawReady{0};
    {
        std::vector<std::unique_ptr<TestThread>> threads;
        for (int i = 0; i < 8; ++i)
            threads.push_back(std::make_unique<TestThread>([&] { sawReady += Shared().ready; }));
    }
    EXPECT_EQ(g_constructions.load(), 1);
    EXPECT_EQ(sawReady.load(), 8);
}

TEST(StaticInitGuardTest, AThrownInitialiserIsTriedAgainByTheNextCaller)
{
    EXPECT_THROW(ValueAfterOneFailure(), std::runtime_error);
    EXPECT_EQ(ValueAfterOneFailure(), 42);
    EXPECT_EQ(g_attempts, 2);
}

// Run only as the child process of the test below.
TEST(StaticInitGuardTest, DISABLED_ReenterItsOwnStatic) { ReenteredValue(); }

// As with the runtime's own guard, the program ends with recursive_init_error (the compiler
// calls the guard as a function that never throws, so it terminates) and never waits for itself.
TEST(StaticInitGuardTest, AnInitialiserReenteringItsOwnStaticTerminatesTheProgram)
{
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    ChildProcess child(L"\"" + std::wstring(self) +
                       L"\" --gtest_also_run_disabled_tests --gtest_filter=StaticInitGuardTest.DISABLED_ReenterItsOwnStatic");
    ASSERT_TRUE(child.Started());
    const DWORD code = child.Wait(20000);
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "the initialiser waits for its own thread";
    EXPECT_EQ(code, 3u) << "not ended by std::terminate";
}

TEST(StaticInitGuardTest, ThreadsInitialisingDifferentStaticsDoNotWaitForEachOther)
{
    bool sawSecond = false;
    TestThread first([&] { sawSecond = First().sawSecond; });
    ASSERT_EQ(WaitForSingleObject(g_firstStarted, 5000), WAIT_OBJECT_0);
    { TestThread second([] { Second(); }); }
    first.Join();
    EXPECT_TRUE(sawSecond);
}

}  // namespace
