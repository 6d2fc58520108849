// The selection dialog's window: initialisation, the discovery tick, the buttons, the system
// menu, painting and the clean-up when the window goes.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "about_dlg.h"
#include "discovery.h"
#include "message_box.h"
#include "resource.h"
#include "zanvi_selector_dlg.h"

namespace {

const wchar_t kSaveMessageName[] = L"com.quellar.zanviselector.save";
const wchar_t kCancelMessageName[] = L"com.quellar.zanviselector.cancel";
const wchar_t kManagerKeyPath[] = L"Software\\QUELLAR\\DRX-VCI\\Zanvi";
const wchar_t kManagerValue[] = L"TaviManager";
const COLORREF kMaskWhite = RGB(255, 255, 255);
// Discovery threads notice the stop within one pass of their loops (about 310 ms).
const DWORD kStopBeforeSaveMs = 200;
const DWORD kStopBeforeReleaseMs = 1000;

// The path the VCI manager key names, or empty when the key or value cannot be read. A key
// that cannot be opened is told to the user.
std::wstring ReadManagerPath()
{
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kManagerKeyPath, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &hKey) != ERROR_SUCCESS) {
        ShowOwnerlessMessageBox(
            L"Could not launch the VCI manager. Check that you have administrative rights.",
            L"VCI Manager", MB_ICONINFORMATION | MB_SYSTEMMODAL);
        return std::wstring();
    }
    // At most 1023 bytes into a zero-filled buffer twice that size: always terminated.
    wchar_t szPath[1024] = {};
    DWORD cbPath = 1023;
    if (RegQueryValueExW(hKey, kManagerValue, nullptr, nullptr, reinterpret_cast<BYTE*>(szPath),
                         &cbPath) != ERROR_SUCCESS)
        szPath[0] = L'\0';
    RegCloseKey(hKey);
    return szPath;
}

}  // namespace

void CZanviSelectorDlg::DoDataExchange()
{
    m_tree = GetDlgItem(IDC_TREE);
}

BOOL CZanviSelectorDlg::OnInitDialog()
{
    CDialogBase::OnInitDialog();

    wchar_t szAbout[100] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, szAbout, 100) > 0) {
        HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
        if (hSysMenu) {
            AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }

    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_pInstanceChecker->PublishWindow();

    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    m_uSaveMsg = RegisterWindowMessageW(kSaveMessageName);
    m_uCancelMsg = RegisterWindowMessageW(kCancelMessageName);

    HWND hBox = GetDlgItem(IDC_SELECTION);
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageW(hBox, WM_GETFONT, 0, 0));
    LOGFONTW logFont = {};
    if (hFont && GetObjectW(hFont, sizeof(logFont), &logFont) == sizeof(logFont)) {
        logFont.lfWeight = FW_BOLD;
        m_boldFont.reset(CreateFontIndirectW(&logFont));
        if (m_boldFont)
            SendMessageW(hBox, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.get()), TRUE);
    }

    m_imageList.reset(ImageList_LoadImageW(GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDB_STATE_IMAGES), 16, 0, kMaskWhite,
                                           IMAGE_BITMAP, LR_CREATEDIBSECTION));
    TreeView_SetImageList(m_tree, m_imageList.get(), TVSIL_STATE);

    if (!LoadDnssd()) return TRUE;

    SetTimer(m_hWnd, m_nTimerId, kTickMs, nullptr);
    StartBrowse();

    if (m_nVariant == kCorvex && m_strIniFile.empty()) {
        ShowOwnerlessMessageBox(
            L"Could not find an INI file to use. Selection cannot not be saved.",
            L"Zanvi Selector", MB_ICONERROR);
        EnableWindow(GetDlgItem(IDC_SAVE), FALSE);
    }

    if (m_nVariant == kCorvex ? ReadSelectionIni() : ReadSelectionRegistry())
        ShowCurrentSelection();
    return TRUE;
}

void CZanviSelectorDlg::OnTimer(UINT_PTR nIDEvent)
{
    OnTick(nIDEvent);
}

void CZanviSelectorDlg::OnTick(UINT_PTR nIDEvent)
{
    // Re-armed on every tick, so that ticks never pile up behind a slow one.
    KillTimer(m_hWnd, nIDEvent);
    SetTimer(m_hWnd, m_nTimerId, kTickMs, nullptr);
    if (SnapshotChanged()) RebuildTree();
    ScheduleTxtQuery(m_szDomainSuffix);
}

bool CZanviSelectorDlg::OnCommand(WORD wID, WORD wNotifyCode, HWND hWndCtl)
{
    if (wNotifyCode == BN_CLICKED) {
        switch (wID) {
        case IDC_SAVE: OnSave(); return true;
        case IDC_VCI_MANAGER: OnVciManager(); return true;
        case IDC_ABOUT: ShowAboutBox(); return true;
        default: break;
        }
    }
    return CDialogBase::OnCommand(wID, wNotifyCode, hWndCtl);
}

bool CZanviSelectorDlg::OnNotify(NMHDR* pNMHDR, LRESULT& lResult)
{
    if (pNMHDR->idFrom != IDC_TREE) return false;
    switch (pNMHDR->code) {
    case NM_CLICK: lResult = OnTreeClick(); return true;
    case TVN_KEYDOWN: lResult = OnTreeKeyDown(*reinterpret_cast<NMTVKEYDOWN*>(pNMHDR)); return true;
    default: return false;
    }
}

bool CZanviSelectorDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg != kPickItemMessage) return false;
    lResult = OnPickItem(wParam, lParam);
    return true;
}

bool CZanviSelectorDlg::OnSysCommand(UINT nID, LPARAM)
{
    if ((nID & 0xFFF0) != IDM_ABOUTBOX) return false;
    ShowAboutBox();
    return true;
}

void CZanviSelectorDlg::ShowAboutBox()
{
    CAboutDlg(m_hWnd).DoModal();
}

bool CZanviSelectorDlg::OnPaint()
{
    if (!IsIconic(m_hWnd)) return false;
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(hdc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

HICON CZanviSelectorDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CZanviSelectorDlg::OnSave()
{
    // Whatever happens below, closing the dialog afterwards is no cancel.
    m_bSaved = 1;
    wchar_t szBox[kSelectionBoxChars + 1] = {};
    GetDlgItemTextW(m_hWnd, IDC_SELECTION, szBox, kSelectionBoxChars + 1);
    if (!BuildSelectionText(szBox)) return;

    StopDiscovery();
    Sleep(kStopBeforeSaveMs);
    if (m_nVariant == kCorvex) {
        WriteSelectionIni(m_szSelection);
    } else {
        WriteSelectionRegistry(m_szSelection);
        PostMessageW(HWND_BROADCAST, m_uSaveMsg, 0, 0);
    }
    Sleep(kStopBeforeReleaseMs);
    ReleaseDnssd();
    EndDialog(0);
}

void CZanviSelectorDlg::OnVciManager()
{
    std::wstring path = ReadManagerPath();
    if (path.empty()) return;
    HINSTANCE hResult = ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(hResult) > 32) OnCancel();
}

void CZanviSelectorDlg::OnDestroy()
{
    if (m_nVariant == kBaySteward && !m_bSaved) PostMessageW(HWND_BROADCAST, m_uCancelMsg, 0, 0);
    StopDiscovery();
    Sleep(kStopBeforeReleaseMs);
    ReleaseDnssd();
}
