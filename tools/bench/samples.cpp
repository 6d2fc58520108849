#include "samples.h"

#include <cstdio>

double NowMs()
{
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

void PrintSample(const char* figure, double value)
{
    std::printf("sample %s %.2f\n", figure, value);
    std::fflush(stdout);
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench: %s\n", what);
    return 1;
}

bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs)
{
    const double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (NowMs() > deadline) return false;
        Sleep(pollMs);
    }
}
