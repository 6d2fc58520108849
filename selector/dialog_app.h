// The application object of a dialog program. The program defines one global instance of a
// class derived from CDialogApp; the entry point (dialog_app_main.cpp) hands it the instance
// handle and the command line and runs its InitInstance. A dialog program runs its dialog
// inside InitInstance and answers FALSE, so the process ends without entering a message loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

class CDialogBase;

class CDialogApp {
public:
    CDialogApp();  // becomes the program's application object
    virtual ~CDialogApp();
    CDialogApp(const CDialogApp&) = delete;
    CDialogApp& operator=(const CDialogApp&) = delete;

    // The program's application object, or null when there is none.
    static CDialogApp* GetApp();
    // The application object when called on the thread that runs it; null on any other thread.
    static CDialogApp* FromCurrentThread();
    // Runs the application object on the calling thread: InitInstance, the message loop when
    // that answered TRUE, then ExitInstance. Returns the process exit code, -1 when there is no
    // application object or a handler threw.
    static int RunApp(HINSTANCE hInstance, const wchar_t* pszCmdLine, int nCmdShow);

    // The program's start-up. TRUE: run the message loop; FALSE: end the program.
    virtual BOOL InitInstance();
    // The message loop; returns the code that WM_QUIT carried.
    virtual int Run();
    // Last call of the run; its answer is the process exit code.
    virtual int ExitInstance(int nExitCode);

    // The company word under which the program keeps its own registry settings.
    void SetRegistryKey(const wchar_t* pszKey);
    const std::wstring& GetRegistryKey() const { return m_strRegistryKey; }

    HINSTANCE GetInstanceHandle() const { return m_hInstance; }
    // The command line after the program name and the blanks that follow it; never null.
    const wchar_t* GetCmdLine() const { return m_strCmdLine.c_str(); }
    int GetCmdShow() const { return m_nCmdShow; }

    // The program's main window (its dialog), or null; not owned.
    CDialogBase* GetMainWnd() const { return m_pMainWnd; }
    // Also the calling thread's main window (main_window.h), which the instance guard publishes.
    void SetMainWnd(CDialogBase* pWnd);

private:
    HINSTANCE m_hInstance;
    std::wstring m_strCmdLine;
    int m_nCmdShow;
    CDialogBase* m_pMainWnd;
    std::wstring m_strRegistryKey;
    std::atomic<DWORD> m_dwThreadId;  // the thread inside RunApp, or 0
};

// The arguments of a process command line: what follows the program name (quoted or not) and
// the blanks after it, as the C runtime hands it to WinMain. Never null.
const wchar_t* CommandLineTail(const wchar_t* pszCommandLine);
