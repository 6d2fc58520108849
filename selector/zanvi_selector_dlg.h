// The selection dialog: per-variant settings, the host persistence it owns, the saved
// selection and the single-instance guard, which all work before the window exists, and the
// window's handlers (zanvi_selector_dlg_window.cpp, zanvi_selector_dlg_tree.cpp).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include <commctrl.h>

#include "dialog_base.h"
#include "gdi_handles.h"
#include "host_preferences.h"
#include "instance_checker.h"

class CZanviSelectorDlg : public CDialogBase {
public:
    enum Variant { kCorvex = 0, kBaySteward = 1 };
    static constexpr int kCorvexDialogId = 102;
    static constexpr int kBayStewardDialogId = 103;
    static constexpr int kSelectionBoxId = 114;
    static constexpr int kIconId = 128;
    // Box texts longer than this are not looked at when saving.
    static constexpr int kSelectionBoxChars = 99;

    // No parent window. Locates the host INI file (Corvex) or sets up the host preferences
    // (Bay Steward), then creates the instance guard; throws std::system_error when the guard
    // cannot be created.
    CZanviSelectorDlg(int nIDTemplate, int nVariant);
    ~CZanviSelectorDlg() override;
    CZanviSelectorDlg(const CZanviSelectorDlg&) = delete;
    CZanviSelectorDlg& operator=(const CZanviSelectorDlg&) = delete;

    // Host INI file location (ini_location.cpp): fills m_strIniFile and logs the search.
    void FindIniFile();

    // Saved selection (saved_selection.cpp).
    // Composes m_szSelection from a box text "<name> <link word>"; false composes nothing.
    bool BuildSelectionText(const std::wstring& boxText);
    bool WriteSelectionIni(const char* text);
    bool WriteSelectionRegistry(const char* text);
    bool ReadSelectionIni();
    bool ReadSelectionRegistry();
    // Takes m_szSelection apart into m_szSelName, m_wszSelName, m_nSelLink and shows it.
    void ShowCurrentSelection();

    // The selection box: its text is kept here and written to control 114 when the window
    // exists. The box is read-only, so every change goes through SetSelectionBoxText.
    const std::wstring& SelectionBoxText() const;
    void SetSelectionBoxText(const std::wstring& text);

    // Window side. WM_APP, posted to itself: wParam the tree's id, lParam the item to pick.
    static constexpr UINT kPickItemMessage = WM_APP;
    static constexpr UINT kTickMs = 250;

    // The discovery tick: re-arms the timer, redraws the tree when the listed VCIs changed and
    // schedules the next TXT query.
    void OnTick(UINT_PTR nIDEvent);
    // Draws the listed VCIs with their links and checks the link read at start-up.
    void RebuildTree();
    LRESULT OnTreeClick();
    LRESULT OnTreeKeyDown(const NMTVKEYDOWN& keyDown);
    // Checks item alone, selects it and shows "<VCI> <link>" in the selection box.
    LRESULT OnPickItem(WPARAM wParam, LPARAM lParam);
    void OnSave();
    void OnVciManager();

    int m_nIDTemplate;
    int m_nVariant;
    HICON m_hIcon;
    UINT_PTR m_nTimerId;
    char m_szDomainSuffix[100];
    char m_szPort[20];
    int m_nSelLink;
    std::wstring m_strIniFile;
    std::unique_ptr<CHostPreferences> m_pHostPreferences;
    std::unique_ptr<CInstanceChecker> m_pInstanceChecker;
    int m_bSaved;
    char m_szSelection[200];
    char m_szSelName[200];
    wchar_t m_wszSelName[200];
    HWND m_tree;
    ImageListHolder m_imageList;
    FontHolder m_boldFont;
    UINT m_uSaveMsg;
    UINT m_uCancelMsg;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool OnCommand(WORD wID, WORD wNotifyCode, HWND hWndCtl) override;
    bool OnNotify(NMHDR* pNMHDR, LRESULT& lResult) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    bool OnSysCommand(UINT nID, LPARAM lParam) override;
    bool OnPaint() override;
    HICON OnQueryDragIcon() override;
    void OnDestroy() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void ShowAboutBox();

    std::wstring m_strSelectionBox;
};
