#include "win32_sync.h"

#include <gtest/gtest.h>

#include "worker_thread.h"

namespace {

struct Flag {
    CMutex lock;
    CConditionVariable changed;
    bool set = false;
};

TEST(ConditionVariableTest, WaitForEndsOnNotifyOrWhenTheTimeRunsOut)
{
    Flag flag;
    {
        std::unique_lock<CMutex> lock(flag.lock);
        DWORD start = GetTickCount();
        EXPECT_FALSE(flag.changed.wait_for(lock, 100, [&] { return flag.set; }));
        EXPECT_GE(GetTickCount() - start, 90u);
        EXPECT_TRUE(lock.owns_lock());
    }
    CWorkerThread setter;
    ASSERT_TRUE(setter.Start([](void* pContext, HANDLE) {
        Flag& f = *static_cast<Flag*>(pContext);
        Sleep(50);
        std::lock_guard<CMutex> guard(f.lock);
        f.set = true;
        f.changed.notify_all();
    }, &flag));
    std::unique_lock<CMutex> lock(flag.lock);
    EXPECT_TRUE(flag.changed.wait_for(lock, 10000, [&] { return flag.set; }));
}

TEST(RecursiveMutexTest, HolderMayTakeItAgain)
{
    CRecursiveMutex mutex;
    std::lock_guard<CRecursiveMutex> outer(mutex);
    EXPECT_TRUE(mutex.try_lock());
    mutex.unlock();
}

}  // namespace
