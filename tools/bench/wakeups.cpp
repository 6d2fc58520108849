#include "wakeups.h"

#include <winsock2.h>
#include <windows.h>

#include <vector>

#include "samples.h"

namespace {

const UINT kTickMs = 250;
const DWORD kPassSleepMs = 300;
const long kSelectWaitUs = 10000;
const int kRequeueTicks = 10;

struct Loop {
    SOCKET socket;  // never readable: every select waits its full 10 ms
    HANDLE hStop;
};

void WaitAndSelect(const Loop& loop)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(loop.socket, &readable);
    timeval wait = {0, kSelectWaitUs};
    select(0, &readable, nullptr, nullptr, &wait);
}

DWORD WINAPI BrowseThread(LPVOID param)
{
    const Loop& loop = *static_cast<const Loop*>(param);
    while (WaitForSingleObject(loop.hStop, kPassSleepMs) == WAIT_TIMEOUT) WaitAndSelect(loop);
    return 0;
}

DWORD WINAPI QueryThread(LPVOID param)
{
    const Loop& loop = *static_cast<const Loop*>(param);
    if (WaitForSingleObject(loop.hStop, kPassSleepMs) == WAIT_TIMEOUT) WaitAndSelect(loop);
    return 0;
}

}  // namespace

int RunWakeups(int vcis, int seconds)
{
    if (vcis < 1 || vcis > 20 || seconds < 1) return Fail("wakeups: 1 to 20 VCIs, 1 second or more");
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return Fail("wakeups: no Winsock");
    Loop loop = {socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND hWnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HANDLE hBrowse = loop.socket != INVALID_SOCKET && loop.hStop && hWnd
                         ? CreateThread(nullptr, 0, BrowseThread, &loop, 0, nullptr)
                         : nullptr;
    int result = hBrowse ? 0 : Fail("wakeups: cannot set up the loops");
    if (hBrowse) {
        const int cycle = 2 * vcis + kRequeueTicks - 1;
        int tick = 0;
        std::vector<HANDLE> threads;
        SetTimer(hWnd, 1, kTickMs, nullptr);
        const double end = NowMs() + seconds * 1000.0;
        MSG msg;
        while (NowMs() < end && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message != WM_TIMER) continue;
            // Re-armed on every tick, as the selector does.
            KillTimer(hWnd, 1);
            SetTimer(hWnd, 1, kTickMs, nullptr);
            int phase = tick++ % cycle;
            if (phase < 2 * vcis && phase % 2 == 1) {
                HANDLE hQuery = CreateThread(nullptr, 0, QueryThread, &loop, 0, nullptr);
                if (hQuery) threads.push_back(hQuery);
            }
        }
        KillTimer(hWnd, 1);
        // Every thread sees the stop at once.
        SetEvent(loop.hStop);
        threads.push_back(hBrowse);
        for (HANDLE h : threads) {
            WaitForSingleObject(h, INFINITE);
            CloseHandle(h);
        }
    }
    if (hWnd) DestroyWindow(hWnd);
    if (loop.hStop) CloseHandle(loop.hStop);
    if (loop.socket != INVALID_SOCKET) closesocket(loop.socket);
    WSACleanup();
    return result;
}
