#include "window_probe.h"

#include "samples.h"

namespace {

const UINT kAnswerTimeoutMs = 5000;
// Between two round trips: often enough to see a stall of a few milliseconds, little load.
const DWORD kPauseMs = 2;

}  // namespace

CWindowProbe::CWindowProbe(HWND hWindow) : m_hWindow(hWindow), m_thread(kAnswerTimeoutMs + 1000)
{
    m_thread.Start(Run, this, false);
}

CWindowProbe::~CWindowProbe()
{
    m_thread.RequestStop();
    m_thread.Join(kAnswerTimeoutMs + 1000);
}

double CWindowProbe::TakeWorst(int* count)
{
    if (count) *count = m_count.exchange(0);
    return static_cast<double>(m_worstUs.exchange(0)) / 1000.0;
}

void CWindowProbe::Run(void* context, HANDLE hStop)
{
    CWindowProbe& self = *static_cast<CWindowProbe*>(context);
    while (WaitForSingleObject(hStop, kPauseMs) == WAIT_TIMEOUT) {
        DWORD_PTR result = 0;
        double start = NowMs();
        if (!SendMessageTimeoutW(self.m_hWindow, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs,
                                 &result) &&
            !IsWindow(self.m_hWindow))
            break;
        long long us = static_cast<long long>((NowMs() - start) * 1000.0);
        long long worst = self.m_worstUs.load();
        while (us > worst && !self.m_worstUs.compare_exchange_weak(worst, us)) {
        }
        ++self.m_count;
    }
}
