// A selector start-up reduced to its single-instance guard, for tests that need two real
// processes: instance_probe <guard name> <result file> <event prefix> <delay ms> <minimise 0|1>
//
// Takes the start lock (then sets <prefix>_locked). When another instance runs it activates
// it and writes "second <window>"; otherwise it waits <delay ms> (a dialog being built),
// creates its window, publishes it, writes "first <window> <published 0|1>", sets
// <prefix>_published and serves its window until <prefix>_quit is set (at most 60 s).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "instance_checker.h"
#include "main_window.h"

namespace {

void WriteResult(const std::wstring& file, const std::string& text)
{
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

void Signal(const std::wstring& name)
{
    HANDLE h = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    if (!h) return;
    SetEvent(h);
    CloseHandle(h);
}

std::string WindowText(HWND hWnd)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%lu",
                  static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hWnd)));
    return text;
}

// Serves the window's messages (a second start restores it from another process) until the
// quit event is set.
void ServeUntil(const std::wstring& quitName)
{
    HANDLE hQuit = OpenEventW(SYNCHRONIZE, FALSE, quitName.c_str());
    if (!hQuit) return;
    DWORD deadline = GetTickCount() + 60000;
    for (;;) {
        DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0) break;
        DWORD result = MsgWaitForMultipleObjects(1, &hQuit, FALSE, deadline - now, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(hQuit);
}

int Run(int argc, wchar_t** argv)
{
    if (argc != 6) return 2;
    const std::wstring name = argv[1], resultFile = argv[2], prefix = argv[3];
    const DWORD delay = static_cast<DWORD>(_wtoi(argv[4]));
    const bool minimise = argv[5][0] == L'1';

    CInstanceChecker checker(name);
    checker.AcquireStartLock();
    Signal(prefix + L"_locked");
    if (checker.IsAnotherInstanceRunning()) {
        WriteResult(resultFile, "second " + WindowText(checker.BringOtherInstanceToFront()));
        return 0;
    }

    Sleep(delay);
    CWnd window;
    window.m_hWnd = CreateWindowExW(0, L"STATIC", L"instance probe", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window.m_hWnd, minimise ? SW_MINIMIZE : SW_SHOWNORMAL);
    SetMainWindow(&window);
    bool published = checker.PublishWindow();
    WriteResult(resultFile,
                "first " + WindowText(window.m_hWnd) + (published ? " 1" : " 0"));
    Signal(prefix + L"_published");
    ServeUntil(prefix + L"_quit");
    SetMainWindow(nullptr);
    DestroyWindow(window.m_hWnd);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    int result;
    try {
        result = Run(argc, argv);
    } catch (...) {
        result = 3;
    }
    LocalFree(argv);
    return result;
}
