#include "worker_thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// A body that reports its stop event, then waits for the stop or for the test's release.
struct Probe {
    HANDLE hRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE hStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> stopWait{WAIT_TIMEOUT};
    std::atomic<bool> ended{false};
    ~Probe()
    {
        CloseHandle(hRelease);
        CloseHandle(hStarted);
    }
};

void WaitForRelease(void* pContext, HANDLE hStop)
{
    Probe& probe = *static_cast<Probe*>(pContext);
    SetEvent(probe.hStarted);
    HANDLE waits[] = {hStop, probe.hRelease};
    DWORD r = WaitForMultipleObjects(2, waits, FALSE, 10000);
    // After the release the stop event must still be a valid handle: read its state.
    probe.stopWait = (r == WAIT_OBJECT_0) ? WAIT_OBJECT_0 : WaitForSingleObject(hStop, 0);
    probe.ended = true;
}

TEST(WorkerThreadTest, RunsTheBodyAndJoins)
{
    Probe probe;
    CWorkerThread thread;
    EXPECT_TRUE(thread.Join(0)) << "nothing started: nothing to wait for";
    ASSERT_TRUE(thread.Start(WaitForRelease, &probe));
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.Join(50)) << "a bounded wait runs out while the body waits";
    SetEvent(probe.hRelease);
    EXPECT_TRUE(thread.Join(5000));
    EXPECT_TRUE(probe.ended);
    EXPECT_EQ(probe.stopWait, static_cast<DWORD>(WAIT_TIMEOUT)) << "nobody asked it to stop";
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.Join(0));
}

TEST(WorkerThreadTest, StopWakesTheBody)
{
    Probe probe;
    CWorkerThread thread;
    ASSERT_TRUE(thread.Start(WaitForRelease, &probe));
    thread.RequestStop();
    EXPECT_TRUE(thread.Join(5000));
    EXPECT_EQ(probe.stopWait, static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(WorkerThreadTest, SecondStartIsRefusedWhileTheFirstRunsAndLeavesItAlone)
{
    Probe first, second;
    CWorkerThread thread;
    ASSERT_TRUE(thread.Start(WaitForRelease, &first));
    ASSERT_EQ(WaitForSingleObject(first.hStarted, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(thread.Start(WaitForRelease, &second));
    EXPECT_EQ(WaitForSingleObject(second.hStarted, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(first.hRelease);
    ASSERT_TRUE(thread.Join(5000));
    EXPECT_EQ(first.stopWait, static_cast<DWORD>(WAIT_TIMEOUT)) << "the refused start touched the running thread";
    ASSERT_TRUE(thread.Start(WaitForRelease, &second)) << "once the first has ended a new one may start";
    SetEvent(second.hRelease);
    EXPECT_TRUE(thread.Join(5000));
}

TEST(WorkerThreadTest, GivenUpThreadKeepsItsStopEventUntilItEnds)
{
    Probe stuck, next;
    CWorkerThread thread;
    ASSERT_TRUE(thread.Start(WaitForRelease, &stuck));
    ASSERT_EQ(WaitForSingleObject(stuck.hStarted, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    thread.GiveUp();
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_TRUE(thread.Start(WaitForRelease, &next));
    SetEvent(next.hRelease);
    ASSERT_TRUE(thread.Join(5000));
    EXPECT_EQ(next.stopWait, static_cast<DWORD>(WAIT_TIMEOUT)) << "the new thread has a stop event of its own";
    for (int i = 0; i < 500 && !stuck.ended; ++i) Sleep(10);
    ASSERT_TRUE(stuck.ended);
    EXPECT_EQ(stuck.stopWait, static_cast<DWORD>(WAIT_OBJECT_0)) << "the given-up thread was told to stop";
}

TEST(WorkerThreadTest, DestroyingTheOwnerStopsAndWaitsForTheThread)
{
    Probe probe;
    {
        CWorkerThread thread;
        ASSERT_TRUE(thread.Start(WaitForRelease, &probe));
    }
    EXPECT_TRUE(probe.ended);
    EXPECT_EQ(probe.stopWait, static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(WorkerThreadTest, DestroyingTheOwnerGivesUpAfterItsBound)
{
    Probe probe;
    auto* pThread = new CWorkerThread(50);
    ASSERT_TRUE(pThread->Start([](void* pContext, HANDLE hStop) {
        Probe& p = *static_cast<Probe*>(pContext);
        WaitForSingleObject(p.hRelease, 10000);  // deaf to the stop
        p.stopWait = WaitForSingleObject(hStop, 0);
        p.ended = true;
    }, &probe));
    DWORD start = GetTickCount();
    delete pThread;
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_FALSE(probe.ended);
    SetEvent(probe.hRelease);
    for (int i = 0; i < 500 && !probe.ended; ++i) Sleep(10);
    ASSERT_TRUE(probe.ended);
    EXPECT_EQ(probe.stopWait, static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
