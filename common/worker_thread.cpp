#include "worker_thread.h"

#include <new>

// What the owner and the thread share; freed by whichever of the two lets go last.
struct CWorkerThread::Shared {
    LONG lRefs;
    HANDLE hStop;
    HMODULE hModule;
    Body body;
    void* pContext;
};

CWorkerThread::CWorkerThread(DWORD dwDestroyWaitMs)
    : m_hThread(nullptr), m_pShared(nullptr), m_dwDestroyWaitMs(dwDestroyWaitMs)
{
}

CWorkerThread::~CWorkerThread()
{
    RequestStop();
    // An owner destroyed by its own thread cannot wait for that thread: it lets go at once.
    if (m_hThread && GetThreadId(m_hThread) == GetCurrentThreadId()) GiveUp();
    if (!Join(m_dwDestroyWaitMs)) GiveUp();
}

void CWorkerThread::Release(Shared* pShared)
{
    if (InterlockedDecrement(&pShared->lRefs) != 0) return;
    CloseHandle(pShared->hStop);
    delete pShared;
}

DWORD WINAPI CWorkerThread::Entry(LPVOID pParameter)
{
    Shared* pShared = static_cast<Shared*>(pParameter);
    pShared->body(pShared->pContext, pShared->hStop);
    HMODULE hModule = pShared->hModule;
    Release(pShared);
    if (hModule) FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

bool CWorkerThread::Start(Body body, void* pContext, bool bHoldModule)
{
    if (!body || !Join(0)) return false;
    Shared* pShared = new (std::nothrow) Shared{2, nullptr, nullptr, body, pContext};
    if (!pShared) return false;
    pShared->hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The reference is taken before the thread exists, so no unload can slip in between.
    if (pShared->hStop && bHoldModule &&
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&Entry)), &pShared->hModule))
        pShared->hModule = nullptr;
    HANDLE hThread = (pShared->hStop && (pShared->hModule || !bHoldModule))
                         ? CreateThread(nullptr, 0, Entry, pShared, 0, nullptr)
                         : nullptr;
    if (!hThread) {
        if (pShared->hModule) FreeLibrary(pShared->hModule);
        if (pShared->hStop) CloseHandle(pShared->hStop);
        delete pShared;
        return false;
    }
    m_hThread = hThread;
    m_pShared = pShared;
    return true;
}

void CWorkerThread::RequestStop()
{
    if (m_pShared) SetEvent(m_pShared->hStop);
}

bool CWorkerThread::Join(DWORD dwMilliseconds)
{
    if (!m_hThread) return true;
    if (WaitForSingleObject(m_hThread, dwMilliseconds) != WAIT_OBJECT_0) return false;
    Forget();
    return true;
}

bool CWorkerThread::IsRunning() const { return m_hThread && WaitForSingleObject(m_hThread, 0) != WAIT_OBJECT_0; }

void CWorkerThread::GiveUp()
{
    RequestStop();
    Forget();
}

void CWorkerThread::Forget()
{
    if (m_hThread) CloseHandle(m_hThread);
    m_hThread = nullptr;
    if (m_pShared) Release(m_pShared);
    m_pShared = nullptr;
}
