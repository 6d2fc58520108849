// The guard of function-local statics that the libraries carry in place of the runtime's (this
// program links it too): one initialisation however many threads race for it, and a thrown
// initialiser leaves the next caller to try again.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

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

}  // namespace
