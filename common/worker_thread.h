// Sole owner of one worker thread: start, stop signal, bounded join, give-up.
#pragma once

#include <windows.h>

// A thread is started with its own stop event (manual reset) and, when asked, its own reference
// to the module that holds this code, so the module cannot be unloaded under it. Both belong to
// the thread as well as to the owner and go only when the last of the two lets go: a thread that
// was given up on keeps them until it really ends. What the body's context points to is the
// owner's to keep alive until Join has answered true.
class CWorkerThread {
public:
    // The body gets its context and its stop event; it should return soon after the event is set.
    typedef void (*Body)(void* pContext, HANDLE hStop);

    // dwDestroyWaitMs: how long the destructor waits for a running thread before giving it up
    // (destroyed by that thread itself, it gives it up at once).
    explicit CWorkerThread(DWORD dwDestroyWaitMs = 5000);
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Starts body(pContext) on a new thread. False, and nothing changes, while an earlier thread
    // still runs or when no thread could be started. bHoldModule keeps this module loaded until
    // the thread has ended.
    bool Start(Body body, void* pContext, bool bHoldModule = true);
    // Sets the running thread's stop event; nothing when no thread was started.
    void RequestStop();
    // True when no thread runs any more (ended now or before, or none started); the handle is
    // closed when the thread is seen to have ended. False when the wait ran out.
    bool Join(DWORD dwMilliseconds);
    bool IsRunning() const;
    // Stops owning a running thread: its stop event is set and the handle closed; the thread
    // keeps its stop event and module reference until it ends. A later Start may go ahead.
    void GiveUp();

private:
    struct Shared;
    static DWORD WINAPI Entry(LPVOID pParameter);
    static void Release(Shared* pShared);
    void Forget();

    HANDLE m_hThread;
    Shared* m_pShared;
    DWORD m_dwDestroyWaitMs;
};
