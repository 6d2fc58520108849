#include "dialog_app.h"

#include "dialog_base.h"
#include "log.h"
#include "main_window.h"

namespace {
std::atomic<CDialogApp*> g_pApp{nullptr};
}

CDialogApp::CDialogApp()
    : m_hInstance(nullptr), m_nCmdShow(SW_SHOWDEFAULT), m_pMainWnd(nullptr), m_dwThreadId(0)
{
    g_pApp = this;
}

CDialogApp::~CDialogApp()
{
    CDialogApp* self = this;
    g_pApp.compare_exchange_strong(self, nullptr);
}

CDialogApp* CDialogApp::GetApp() { return g_pApp; }

CDialogApp* CDialogApp::FromCurrentThread()
{
    CDialogApp* pApp = g_pApp;
    return pApp && pApp->m_dwThreadId == GetCurrentThreadId() ? pApp : nullptr;
}

int CDialogApp::RunApp(HINSTANCE hInstance, const wchar_t* pszCmdLine, int nCmdShow)
{
    CDialogApp* pApp = g_pApp;
    if (!pApp) return -1;
    int nExitCode = -1;
    try {
        pApp->m_hInstance = hInstance;
        pApp->m_strCmdLine = pszCmdLine ? pszCmdLine : L"";
        pApp->m_nCmdShow = nCmdShow;
        pApp->m_dwThreadId = GetCurrentThreadId();
        int nRunCode = pApp->InitInstance() ? pApp->Run() : 0;
        nExitCode = pApp->ExitInstance(nRunCode);
    } catch (...) {
        WriteLog(L"E:", L"CDialogApp: the program ended by an exception");
    }
    pApp->m_dwThreadId = 0;
    return nExitCode;
}

BOOL CDialogApp::InitInstance() { return TRUE; }

int CDialogApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL bGot = GetMessageW(&msg, nullptr, 0, 0);
        if (bGot == 0) return static_cast<int>(msg.wParam);
        if (bGot == -1) return -1;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int CDialogApp::ExitInstance(int nExitCode) { return nExitCode; }

void CDialogApp::SetMainWnd(CDialogBase* pWnd)
{
    m_pMainWnd = pWnd;
    SetMainWindow(pWnd);
}

void CDialogApp::SetRegistryKey(const wchar_t* pszKey)
{
    m_strRegistryKey = pszKey ? pszKey : L"";
}

const wchar_t* CommandLineTail(const wchar_t* pszCommandLine)
{
    const wchar_t* p = pszCommandLine;
    if (!p) return L"";
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p && *p <= L' ') ++p;
    return p;
}
