#include "selector_app.h"

#include <windows.h>

#include <commctrl.h>

#include <system_error>

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
    return CommandLineTail(fullCommandLine);
}

BOOL CZanviSelectorApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CDialogApp::InitInstance();
    // Control containment (hosting ActiveX controls) has no counterpart here: the dialogs hold
    // only common controls.
    SetRegistryKey(L"Dravix");

    VariantChoice choice = ChooseVariant(GetCmdLine());
    std::unique_ptr<CZanviSelectorDlg> pDlg;
    try {
        pDlg = std::make_unique<CZanviSelectorDlg>(choice.nDialogId, choice.nVariant);
    } catch (const std::system_error& error) {
        std::wstring message = L"Zanvi Selector cannot start: its single-instance guard could "
                               L"not be created (error " +
                               std::to_wstring(error.code().value()) + L").";
        ShowOwnerlessMessageBox(message.c_str(), L"Zanvi Selector", MB_ICONERROR);
        return FALSE;
    }
    SetMainWnd(pDlg.get());

    CInstanceChecker& checker = *pDlg->m_pInstanceChecker;
    checker.AcquireStartLock();
    if (checker.IsAnotherInstanceRunning()) {
        checker.BringOtherInstanceToFront();
    } else {
        pDlg->DoModal();
    }
    SetMainWnd(nullptr);
    return FALSE;
}
