// Resource ids of ZanviSelector: shared by ZanviSelector.rc and the dialog code.
#pragma once

#define IDD_ABOUTBOX             100  // About box
#define IDS_ABOUTBOX             101  // system-menu item text "&About ZanviSelector..."
#define IDD_SELECTOR_CORVEX      102  // selection dialog, Corvex variant
#define IDD_SELECTOR_BAY_STEWARD 103  // selection dialog, Bay Steward variant
#define IDC_SAVE                 107
#define IDC_TREE                 108
#define IDC_VCI_MANAGER          109
#define IDC_ABOUT                113
#define IDC_SELECTION            114  // read-only box showing the current choice
#define IDB_STATE_IMAGES         115  // 16x16 state images: blank, unchecked, checked, grey
#define IDR_MAINFRAME            128  // program icon

#define IDM_ABOUTBOX             0x0010  // system-menu command of the About item

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
