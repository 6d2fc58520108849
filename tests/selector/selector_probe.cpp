// Parts of the selector run in a process of their own, for tests that need real processes or a
// program folder of their own.
//
// selector_probe load-dnssd <result file>
//   LoadDnssd from the probe's folder; writes each message box as "<type> <caption>|<text>"
//   and then "loaded <0|1>".
//
// selector_probe guard <guard name> <result file> <event prefix> <delay ms> <minimise 0|1>
//   A start-up reduced to its single-instance guard. Takes the start lock (then sets
//   <prefix>_locked). When another instance runs it activates it and writes
//   "second <window>"; otherwise it waits <delay ms> (a dialog being built), creates its
//   window, publishes it, writes "first <window> <published 0|1>", sets <prefix>_published
//   and serves its window until <prefix>_quit is set (at most 60 s).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "acp_text.h"
#include "discovery.h"
#include "instance_checker.h"
#include "main_window.h"
#include "message_box.h"

namespace {

std::wstring g_resultFile;

void WriteResult(const std::wstring& file, const std::string& text, bool append = false)
{
    HANDLE h = CreateFileW(file.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                           append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

int RecordMessageBox(const wchar_t* text, const wchar_t* caption, UINT type)
{
    WriteResult(g_resultFile,
                std::to_string(type) + " " + NarrowAcp(caption) + "|" + NarrowAcp(text) + "\n",
                true);
    return IDOK;
}

int LoadDnssdMode(const std::wstring& resultFile)
{
    g_resultFile = resultFile;
    g_pfnOwnerlessMessageBox = RecordMessageBox;
    bool loaded = LoadDnssd();
    WriteResult(resultFile, loaded ? "loaded 1\n" : "loaded 0\n", true);
    ReleaseDnssd();
    return 0;
}

int GuardMode(int argc, wchar_t** argv)
{
    if (argc != 7) return 2;
    const std::wstring name = argv[2], resultFile = argv[3], prefix = argv[4];
    const DWORD delay = static_cast<DWORD>(_wtoi(argv[5]));
    const bool minimise = argv[6][0] == L'1';

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

int Run(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"load-dnssd") return LoadDnssdMode(argv[2]);
    if (argc >= 2 && std::wstring(argv[1]) == L"guard") return GuardMode(argc, argv);
    return 2;
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
