#include "about_dlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(HWND hWndParent) : CDialogBase(IDD_ABOUTBOX, hWndParent) {}
