// The selection dialog object: per-variant settings, the host persistence it owns, the saved
// selection and the single-instance guard. Everything here works before the window exists;
// only writing the selection box (control 114) needs the window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host_preferences.h"
#include "instance_checker.h"
#include "main_window.h"

class CZanviSelectorDlg : public CWnd {
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

private:
    std::wstring m_strSelectionBox;
};
