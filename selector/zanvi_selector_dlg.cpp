#include "zanvi_selector_dlg.h"

#include "acp_text.h"
#include "discovery.h"

namespace {

struct VariantSettings {
    const wchar_t* szInstanceName;  // the single-instance guard's name
    const char* szServiceType;
    const char* szDomainSuffix;
    const char* szPort;
};

const VariantSettings kCorvexSettings = {L"{098B847E-C832-4b63-80D4-C60435E12501}",
                                         "_zeb_vci._tcp", "._zeb_vci._tcp.local", "58713"};
const VariantSettings kBayStewardSettings = {L"{8EFDE6E3-5327-4921-ACE0-8DB657457BF4}",
                                             "_wyn_vci._tcp", "._wyn_vci._tcp.local", "6800"};

}  // namespace

CZanviSelectorDlg::CZanviSelectorDlg(int nIDTemplate, int nVariant)
    : CDialogBase(static_cast<UINT>(nIDTemplate)), m_nIDTemplate(nIDTemplate), m_nVariant(nVariant),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId))), m_nTimerId(0),
      m_szDomainSuffix(), m_szPort(), m_nSelLink(-1), m_bSaved(0), m_szSelection(),
      m_szSelName(), m_wszSelName(), m_tree(nullptr), m_uSaveMsg(0), m_uCancelMsg(0)
{
    const VariantSettings& settings =
        m_nVariant == kBaySteward ? kBayStewardSettings : kCorvexSettings;
    CopyCut(g_szServiceType, settings.szServiceType);
    CopyCut(m_szDomainSuffix, settings.szDomainSuffix);
    CopyCut(m_szPort, settings.szPort);

    if (m_nVariant == kBaySteward) {
        m_pHostPreferences = std::make_unique<CHostPreferences>();
        m_pHostPreferences->Init();
    } else {
        FindIniFile();
    }

    m_pInstanceChecker = std::make_unique<CInstanceChecker>(settings.szInstanceName);
}

CZanviSelectorDlg::~CZanviSelectorDlg()
{
    m_pHostPreferences.reset();
    m_pInstanceChecker.reset();
}

const std::wstring& CZanviSelectorDlg::SelectionBoxText() const
{
    return m_strSelectionBox;
}

void CZanviSelectorDlg::SetSelectionBoxText(const std::wstring& text)
{
    m_strSelectionBox = text;
    if (m_hWnd) SetDlgItemTextW(m_hWnd, kSelectionBoxId, text.c_str());
}
