#include "selector_app.h"

#include <windows.h>

#include <commctrl.h>

#include <system_error>

#include "main_window.h"
#include "message_box.h"
#include "query_string.h"
#include "zanvi_selector_dlg.h"

VariantChoice ChooseVariant(const std::wstring& commandLine)
{
    VariantChoice choice = {CZanviSelectorDlg::kCorvexDialogId, CZanviSelectorDlg::kCorvex};
    // The whole line is parsed, however long: a "mode" near its end still counts.
    if (!commandLine.empty() && QueryString(commandLine).Lookup(L"mode") == L"2")
        choice = {CZanviSelectorDlg::kBayStewardDialogId, CZanviSelectorDlg::kBaySteward};
    return choice;
}

std::wstring CommandLineArguments(const wchar_t* fullCommandLine)
{
    const wchar_t* p = fullCommandLine ? fullCommandLine : L"";
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p > L' ') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

bool CZanviSelectorApp::InitInstance(const std::wstring& commandLine)
{
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    VariantChoice choice = ChooseVariant(commandLine);
    std::unique_ptr<CZanviSelectorDlg> pDlg;
    try {
        pDlg = std::make_unique<CZanviSelectorDlg>(choice.nDialogId, choice.nVariant);
    } catch (const std::system_error& error) {
        std::wstring message = L"Zanvi Selector cannot start: its single-instance guard could "
                               L"not be created (error " +
                               std::to_wstring(error.code().value()) + L").";
        ShowOwnerlessMessageBox(message.c_str(), L"Zanvi Selector", MB_ICONERROR);
        return false;
    }
    SetMainWindow(pDlg.get());

    CInstanceChecker& checker = *pDlg->m_pInstanceChecker;
    checker.AcquireStartLock();
    if (checker.IsAnotherInstanceRunning()) checker.BringOtherInstanceToFront();
    // Until the dialog has its window the program ends here in both cases.

    SetMainWindow(nullptr);
    return false;
}
