// A window object and the main window of the user-interface thread.
#pragma once

#include <windows.h>

// An object that may own a window: its handle once the window exists, else null.
class CWnd {
public:
    virtual ~CWnd() = default;
    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;
};

// The calling thread's main window object; null clears it. The object must outlive its use.
void SetMainWindow(const CWnd* pWnd);
const CWnd* GetMainWindow();
