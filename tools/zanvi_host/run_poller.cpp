#include "run_poller.h"

#include <windows.h>

#include <atomic>

namespace {

const DWORD kPollIntervalMs = 200;

std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = true;
    return TRUE;
}

}  // namespace

PollOutcome PollUntilFinal(unsigned timeoutSeconds, const std::function<bool()>& poll)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
    for (;;) {
        if (poll()) return PollOutcome::Final;
        if (g_interrupted) return PollOutcome::Interrupted;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return PollOutcome::TimedOut;
        ULONGLONG left = deadline - now;
        Sleep(left < kPollIntervalMs ? static_cast<DWORD>(left) : kPollIntervalMs);
    }
}

void CatchConsoleInterrupts() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool ConsoleInterrupted() { return g_interrupted; }
