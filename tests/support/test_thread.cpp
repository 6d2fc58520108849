#include "test_thread.h"

#include <windows.h>

#include <cstdlib>

TestThread::TestThread(std::function<void()> body) : m_body(std::move(body)), m_thread(INFINITE)
{
    if (!m_thread.Start([](void* pContext, HANDLE) { (*static_cast<std::function<void()>*>(pContext))(); }, &m_body,
                        false))
        std::abort();
}

void TestThread::Join() { m_thread.Join(INFINITE); }
