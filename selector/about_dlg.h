// The About box: the program icon, name and version, and OK.
#pragma once

#include "dialog_base.h"

class CAboutDlg : public CDialogBase {
public:
    explicit CAboutDlg(HWND hWndParent);
};
