#include "main_window.h"

namespace {

// Per thread: only the user-interface thread that set it has a main window.
thread_local const CWnd* t_pMainWnd = nullptr;

}  // namespace

void SetMainWindow(const CWnd* pWnd)
{
    t_pMainWnd = pWnd;
}

const CWnd* GetMainWindow()
{
    return t_pMainWnd;
}
