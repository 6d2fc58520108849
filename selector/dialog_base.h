// Modal dialog from a resource template of the program: one static dialog procedure hands each
// message to a virtual member function, the way the platform's own dialog samples are written.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "main_window.h"

class CDialogBase : public CWnd {
public:
    // nIDTemplate: a DIALOG resource of the program's own module. hWndParent may be null.
    explicit CDialogBase(UINT nIDTemplate, HWND hWndParent = nullptr);
    ~CDialogBase() override;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Shows the dialog and returns once it has ended: the result given to EndDialog, or -1 when
    // the dialog could not be created or a handler threw.
    INT_PTR DoModal();
    // Ends the running dialog with nResult; DoModal returns it. No effect without a window.
    void EndDialog(INT_PTR nResult);

    // GetSafeHwnd (CWnd): null before WM_INITDIALOG and after the end.
    HWND GetDlgItem(int nID) const;
    UINT GetTemplateId() const { return m_nIDTemplate; }

protected:
    // Binds controls to members; the base OnInitDialog calls it first.
    virtual void DoDataExchange();
    // WM_INITDIALOG: the controls exist. TRUE lets the system set the focus. A window that
    // the handler does not move is then centred over its owner, or on the screen without one.
    virtual BOOL OnInitDialog();
    // WM_COMMAND: true when handled. The base sends IDOK to OnOK and IDCANCEL (Cancel button,
    // Escape, the close box) to OnCancel.
    virtual bool OnCommand(WORD wID, WORD wNotifyCode, HWND hWndCtl);
    virtual void OnOK();      // ends the dialog with IDOK
    virtual void OnCancel();  // ends the dialog with IDCANCEL
    // WM_NOTIFY: true when handled; lResult becomes the answer to the notification.
    virtual bool OnNotify(NMHDR* pNMHDR, LRESULT& lResult);
    virtual void OnTimer(UINT_PTR nIDEvent);
    // WM_SYSCOMMAND (nID as the message carries it): true when handled; false lets the system
    // carry out the command.
    virtual bool OnSysCommand(UINT nID, LPARAM lParam);
    // WM_PAINT: true when the handler painted; false leaves painting to the system.
    virtual bool OnPaint();
    // WM_QUERYDRAGICON: the icon to drag; null for the system's default.
    virtual HICON OnQueryDragIcon();
    // WM_DESTROY: the window and its controls still exist.
    virtual void OnDestroy();
    // Every other message, e.g. WM_APP: true when handled; lResult is the message's answer
    // (through DWLP_MSGRESULT, so not for the few messages answered directly, like WM_CTLCOLOR*).
    virtual bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void CenterWindow();
    INT_PTR Answer(LRESULT lResult);

    UINT m_nIDTemplate;
    HWND m_hWndParent;
};
