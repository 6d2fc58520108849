// How long a window takes to answer: WM_NULL sent again and again from a thread of its own, the
// worst round trip kept until it is taken.
#pragma once

#include <windows.h>

#include <atomic>

#include "worker_thread.h"

class CWindowProbe {
public:
    explicit CWindowProbe(HWND hWindow);
    ~CWindowProbe();
    CWindowProbe(const CWindowProbe&) = delete;
    CWindowProbe& operator=(const CWindowProbe&) = delete;

    bool Running() const { return m_thread.IsRunning(); }
    // The worst round trip (ms) since the last call, and the number of round trips it covers;
    // a message the window did not answer within 5 s counts as 5000 ms.
    double TakeWorst(int* count = nullptr);

private:
    static void Run(void* self, HANDLE hStop);

    HWND m_hWindow;
    std::atomic<long long> m_worstUs{0};
    std::atomic<int> m_count{0};
    CWorkerThread m_thread;
};
