// A thread for tests: runs a function at construction, joined by Join or at destruction.
#pragma once

#include <functional>

#include "worker_thread.h"

class TestThread {
public:
    explicit TestThread(std::function<void()> body);
    ~TestThread() { Join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;
    void Join();

private:
    std::function<void()> m_body;
    CWorkerThread m_thread;
};
