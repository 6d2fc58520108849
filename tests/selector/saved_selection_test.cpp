// The saved selection: composing the service-instance text, the host INI file and registry
// preferences, and the read-back shown in the selection box.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acp_text.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "zanvi_selector_dlg.h"

namespace {

const wchar_t kSettings[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";

class SavedSelectionTest : public ::testing::Test {
protected:
    std::unique_ptr<CZanviSelectorDlg> Make(int variant)
    {
        int id = variant == CZanviSelectorDlg::kBaySteward ? CZanviSelectorDlg::kBayStewardDialogId
                                                             : CZanviSelectorDlg::kCorvexDialogId;
        auto dlg = std::make_unique<CZanviSelectorDlg>(id, variant);
        dlg->m_strIniFile = m_ini;
        return dlg;
    }
    std::wstring Ini(const wchar_t* section, const wchar_t* key) const
    {
        wchar_t value[256] = {};
        GetPrivateProfileStringW(section, key, L"<none>", value, 256, m_ini.c_str());
        return value;
    }
    void SetIni(const wchar_t* section, const wchar_t* key, const std::wstring& value) const
    {
        ASSERT_TRUE(WritePrivateProfileStringW(section, key, value.c_str(), m_ini.c_str()));
    }

    // No shell folders: the Corvex dialog finds no INI file of its own; tests give it one.
    ShellFoldersAt m_shell{{}};
    RedirectedHostKeys m_keys;
    MessageBoxRecorder m_boxes;
    TempDir m_dir;
    std::wstring m_ini = m_dir.File(L"HXSystem.ini");
};

TEST_F(SavedSelectionTest, BoxTextComposesTheServiceInstanceText)
{
    struct Case {
        int variant;
        std::wstring box;
        std::string expected;  // empty: nothing composed
    };
    const int kCorvex = CZanviSelectorDlg::kCorvex;
    const int kBay = CZanviSelectorDlg::kBaySteward;
    const std::wstring name97(97, L'n');
    const Case cases[] = {
        {kCorvex, L"DEMO-01 USB", "srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"},
        {kCorvex, L"DEMO-01 WiFi", "srv[DEMO-01._zeb_vci._tcp.local,58713,wifi]"},
        {kCorvex, L"DEMO-01 Ethernet", "srv[DEMO-01._zeb_vci._tcp.local,58713,eth]"},
        {kBay, L"DEMO-01 Ethernet", "srv[DEMO-01._wyn_vci._tcp.local,6800,eth]"},
        {kBay, L"LAB-07 WiFi", "srv[LAB-07._wyn_vci._tcp.local,6800,wifi]"},
        {kBay, L"LAB-07 USB", "srv[LAB-07._wyn_vci._tcp.local,6800,usb]"},
        {kCorvex, name97 + L" USB", "srv[" + std::string(97, 'n') + "._zeb_vci._tcp.local,58713,usb]"},
        {kCorvex, name97 + L"n USB", ""},    // the link word lies past the 99 characters read
        {kCorvex, name97 + L"nn USB", ""},   // so does the space
        {kBay, L"LAB 7 WiFi", ""},          // '7' selects no link
        {kCorvex, L"", ""},
        {kCorvex, L"DEMO-01", ""},
        {kCorvex, L"DEMO-01 ???", ""},
        {kCorvex, L"DEMO-01 usb", ""},
        {kCorvex, L" USB", ""},
    };
    for (const Case& c : cases) {
        auto dlg = Make(c.variant);
        CopyCut(dlg->m_szSelection, "before");
        EXPECT_EQ(dlg->BuildSelectionText(c.box), !c.expected.empty()) << Narrow(c.box);
        EXPECT_EQ(std::string(dlg->m_szSelection), c.expected.empty() ? "before" : c.expected)
            << Narrow(c.box);
    }
}

TEST_F(SavedSelectionTest, IniWriteSetsInterfaceAndTheZanviSection)
{
    struct Case {
        const wchar_t* interfaceBefore;  // null: no entry
        const wchar_t* interfaceAfter;
        const wchar_t* deviceSection;
    };
    const Case cases[] = {
        {nullptr, L"Zanvi", L"Zanvi"},
        {L"Serial", L"Zanvi", L"Zanvi"},
        {L"zanvi", L"zanvi", L"zanvi"},  // accepted in any case and not rewritten
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(m_ini, ""));
        if (c.interfaceBefore) SetIni(L"SD_HARDWARE", L"Interface", c.interfaceBefore);
        auto dlg = Make(CZanviSelectorDlg::kCorvex);
        EXPECT_TRUE(dlg->WriteSelectionIni("srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"));
        EXPECT_EQ(Ini(L"SD_HARDWARE", L"Interface"), c.interfaceAfter);
        EXPECT_EQ(Ini(c.deviceSection, L"Device"), L"srv[DEMO-01._zeb_vci._tcp.local,58713,usb]");
        EXPECT_EQ(Ini(L"Zanvi", L"Baudrate"), L"56000");
        EXPECT_EQ(Ini(L"Zanvi", L"Sermode"), L"9");
        EXPECT_EQ(Ini(L"Zanvi", L"Download"), L"1");
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    // The lower-case interface name was kept as written.
    EXPECT_NE(ReadWholeFile(m_ini).find("Interface=zanvi"), std::string::npos);
}

TEST_F(SavedSelectionTest, RefusedIniWriteShowsTheAdministratorBox)
{
    // A read-only file is no obstacle to a test running with full rights; a folder where the
    // file should be is refused like a file the user may not write.
    ASSERT_TRUE(CreateDirectoryW(m_ini.c_str(), nullptr));
    auto dlg = Make(CZanviSelectorDlg::kCorvex);
    EXPECT_FALSE(dlg->WriteSelectionIni("srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"Unable to write to " + m_ini + L". You must be an administrator.");
    EXPECT_EQ(m_boxes.Boxes()[0].caption, L"Zanvi Selector");
    EXPECT_EQ(m_boxes.Boxes()[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(SavedSelectionTest, IniWriteWithoutAFileWritesNowhere)
{
    auto dlg = Make(CZanviSelectorDlg::kCorvex);
    dlg->m_strIniFile.clear();
    EXPECT_FALSE(dlg->WriteSelectionIni("srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, L"Unable to write to . You must be an administrator.");
    EXPECT_FALSE(dlg->ReadSelectionIni());
}

TEST_F(SavedSelectionTest, IniReadBackNeedsTheZanviInterfaceAndCutsAt63Characters)
{
    struct Case {
        const wchar_t* interfaceValue;  // null: no entry
        const wchar_t* section;
        std::wstring device;            // empty: no entry
        const char* expected;           // null: nothing read
    };
    const std::wstring text = L"srv[DEMO-01._zeb_vci._tcp.local,58713,usb]";
    const std::wstring longText = L"srv[A-VERY-LONG-INSTANCE-NAME-0001._zeb_vci._tcp.local,58713,wifi]";
    const Case cases[] = {
        {L"Zanvi", L"Zanvi", text, "srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"},
        {L"ZANVI", L"ZANVI", text, "srv[DEMO-01._zeb_vci._tcp.local,58713,usb]"},
        {L"Zanvi", L"Zanvi", longText,
         "srv[A-VERY-LONG-INSTANCE-NAME-0001._zeb_vci._tcp.local,58713,wi"},
        {nullptr, L"Zanvi", text, nullptr},
        {L"Serial", L"Serial", text, nullptr},
        {L"Zanvi", L"Zanvi", L"", nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteWholeFile(m_ini, ""));
        if (c.interfaceValue) SetIni(L"SD_HARDWARE", L"Interface", c.interfaceValue);
        if (!c.device.empty()) SetIni(c.section, L"Device", c.device);
        auto dlg = Make(CZanviSelectorDlg::kCorvex);
        EXPECT_EQ(dlg->ReadSelectionIni(), c.expected != nullptr) << c.device.size();
        EXPECT_STREQ(dlg->m_szSelection, c.expected ? c.expected : "");
    }
}

TEST_F(SavedSelectionTest, CutReadBackWithoutItsLinkWordShowsQuestionMarks)
{
    ASSERT_TRUE(WriteWholeFile(m_ini, ""));
    SetIni(L"SD_HARDWARE", L"Interface", L"Zanvi");
    SetIni(L"Zanvi", L"Device", L"srv[A-VERY-LONG-INSTANCE-NAME-000001._zeb_vci._tcp.local,58713,usb]");
    auto dlg = Make(CZanviSelectorDlg::kCorvex);
    ASSERT_TRUE(dlg->ReadSelectionIni());
    dlg->ShowCurrentSelection();
    EXPECT_EQ(dlg->SelectionBoxText(), L"A-VERY-LONG-INSTANCE-NAME-000001 ???");
    EXPECT_EQ(dlg->m_nSelLink, -1);
}

TEST_F(SavedSelectionTest, RegistryWriteAndReadBack)
{
    auto dlg = Make(CZanviSelectorDlg::kBaySteward);
    EXPECT_FALSE(dlg->ReadSelectionRegistry());

    EXPECT_TRUE(dlg->WriteSelectionRegistry("srv[LAB-07._wyn_vci._tcp.local,6800,wifi]"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(m_keys.UserValue(kSettings, L"VCIServiceInstance", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())),
              L"srv[LAB-07._wyn_vci._tcp.local,6800,wifi]");

    auto next = Make(CZanviSelectorDlg::kBaySteward);
    ASSERT_TRUE(next->ReadSelectionRegistry());
    EXPECT_STREQ(next->m_szSelection, "srv[LAB-07._wyn_vci._tcp.local,6800,wifi]");
    next->ShowCurrentSelection();
    EXPECT_EQ(next->SelectionBoxText(), L"LAB-07 WiFi");
    EXPECT_EQ(next->m_nSelLink, 1);

    auto corvex = Make(CZanviSelectorDlg::kCorvex);
    EXPECT_FALSE(corvex->WriteSelectionRegistry("srv[x._zeb_vci._tcp.local,58713,usb]"));
}

TEST_F(SavedSelectionTest, RegistryReadBackTakesAtMost99Characters)
{
    auto dlg = Make(CZanviSelectorDlg::kBaySteward);
    ASSERT_TRUE(m_keys.WriteUserString(kSettings, L"VCIServiceInstance", std::wstring(99, L'a')));
    EXPECT_TRUE(dlg->ReadSelectionRegistry());
    EXPECT_EQ(std::string(dlg->m_szSelection), std::string(99, 'a'));

    ASSERT_TRUE(m_keys.WriteUserString(kSettings, L"VCIServiceInstance", std::wstring(100, L'b')));
    EXPECT_FALSE(dlg->ReadSelectionRegistry());
}

TEST_F(SavedSelectionTest, ReadBackIsShownAsNameAndLinkWord)
{
    struct Case {
        const char* selection;
        const wchar_t* box;  // null: nothing shown
        int link;
        const char* name;
    };
    const Case cases[] = {
        {"srv[DEMO-01._zeb_vci._tcp.local,58713,usb]", L"DEMO-01 USB", 0, "DEMO-01"},
        {"srv[DEMO-01._zeb_vci._tcp.local,58713,wifi]", L"DEMO-01 WiFi", 1, "DEMO-01"},
        {"srv[DEMO-01._wyn_vci._tcp.local,6800,eth]", L"DEMO-01 Ethernet", 2, "DEMO-01"},
        // The link words are looked for over the whole body, name included, with case.
        {"srv[ethbox._zeb_vci._tcp.local,58713,usb]", L"ethbox Ethernet", 2, "ethbox"},
        {"srv[ETHBOX._zeb_vci._tcp.local,58713,usb]", L"ETHBOX USB", 0, "ETHBOX"},
        {"srv[wifi-eth._zeb_vci._tcp.local,58713,usb]", L"wifi-eth WiFi", 1, "wifi-eth"},
        {"srv[DEMO-01._zeb_vci._tcp.local,58713,]", L"DEMO-01 ???", -1, "DEMO-01"},
        // Without a '.', the name ends at the port's ','.
        {"srv[DEMO-01,58713,usb]", L"DEMO-01 USB", 0, "DEMO-01"},
        {"DEMO-01 usb", nullptr, -1, ""},
        {"", nullptr, -1, ""},
    };
    for (const Case& c : cases) {
        auto dlg = Make(CZanviSelectorDlg::kCorvex);
        CopyCut(dlg->m_szSelection, c.selection);
        dlg->ShowCurrentSelection();
        EXPECT_EQ(dlg->SelectionBoxText(), c.box ? c.box : L"") << c.selection;
        EXPECT_EQ(dlg->m_nSelLink, c.link) << c.selection;
        EXPECT_STREQ(dlg->m_szSelName, c.name) << c.selection;
        EXPECT_EQ(std::wstring(dlg->m_wszSelName), Widen(c.name)) << c.selection;
    }
}

}  // namespace
