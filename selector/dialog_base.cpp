#include "dialog_base.h"

#include "log.h"

CDialogBase::CDialogBase(UINT nIDTemplate, HWND hWndParent)
    : m_nIDTemplate(nIDTemplate), m_hWndParent(hWndParent)
{
}

CDialogBase::~CDialogBase() = default;

INT_PTR CDialogBase::DoModal()
{
    if (m_hWnd) return -1;  // already running
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), m_hWndParent,
                           DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialogBase::EndDialog(INT_PTR nResult)
{
    if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

HWND CDialogBase::GetDlgItem(int nID) const
{
    return m_hWnd ? ::GetDlgItem(m_hWnd, nID) : nullptr;
}

void CDialogBase::DoDataExchange() {}

BOOL CDialogBase::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

bool CDialogBase::OnCommand(WORD wID, WORD, HWND)
{
    switch (wID) {
    case IDOK: OnOK(); return true;
    case IDCANCEL: OnCancel(); return true;
    default: return false;
    }
}

void CDialogBase::OnOK() { EndDialog(IDOK); }
void CDialogBase::OnCancel() { EndDialog(IDCANCEL); }
bool CDialogBase::OnNotify(NMHDR*, LRESULT&) { return false; }
void CDialogBase::OnTimer(UINT_PTR) {}
bool CDialogBase::OnSysCommand(UINT, LPARAM) { return false; }
bool CDialogBase::OnPaint() { return false; }
HICON CDialogBase::OnQueryDragIcon() { return nullptr; }
void CDialogBase::OnDestroy() {}
bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        reinterpret_cast<CDialogBase*>(lParam)->m_hWnd = hWnd;
    }
    // Messages that come before WM_INITDIALOG (WM_SETFONT, for one) find no object yet.
    auto* self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!self) return FALSE;

    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(uMsg, wParam, lParam);
    } catch (...) {
        // An exception must not unwind through the system's dialog manager: end the dialog.
        WriteLog(L"E:", L"CDialogBase: dialog %u ended by an exception in message 0x%04X",
                 self->m_nIDTemplate, uMsg);
        ::EndDialog(hWnd, -1);
    }
    if (uMsg == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

void CDialogBase::CenterWindow()
{
    RECT window = {};
    if (!GetWindowRect(m_hWnd, &window)) return;
    // Over a visible owner, else on the screen; always within the work area of the monitor.
    HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
    const bool overOwner = hOwner && IsWindowVisible(hOwner) && !IsIconic(hOwner);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromWindow(overOwner ? hOwner : m_hWnd, MONITOR_DEFAULTTONEAREST),
                         &monitor))
        return;
    const RECT& work = monitor.rcWork;
    RECT centreOn = work;
    if (overOwner) GetWindowRect(hOwner, &centreOn);

    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG left = centreOn.left + (centreOn.right - centreOn.left - width) / 2;
    LONG top = centreOn.top + (centreOn.bottom - centreOn.top - height) / 2;
    if (left + width > work.right) left = work.right - width;
    if (top + height > work.bottom) top = work.bottom - height;
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CDialogBase::Answer(LRESULT lResult)
{
    SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

INT_PTR CDialogBase::Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG: {
        RECT before = {};
        GetWindowRect(m_hWnd, &before);
        const BOOL result = OnInitDialog();
        // Where the handler placed the window itself, it stays there.
        RECT after = {};
        if (GetWindowRect(m_hWnd, &after) && EqualRect(&before, &after)) CenterWindow();
        return result;
    }
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
        LRESULT lResult = 0;
        return OnNotify(reinterpret_cast<NMHDR*>(lParam), lResult) ? Answer(lResult) : FALSE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        // One of the messages whose answer is the dialog procedure's own return value.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_DESTROY:
        OnDestroy();
        return FALSE;  // the dialog manager still frees the template's font
    case WM_NCDESTROY:
        return FALSE;
    default: {
        LRESULT lResult = 0;
        return OnMessage(uMsg, wParam, lParam, lResult) ? Answer(lResult) : FALSE;
    }
    }
}
