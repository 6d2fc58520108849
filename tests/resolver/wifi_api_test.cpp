// The ad-hoc profile file and the native Wi-Fi requests, seen through the Wi-Fi seam.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "test_files.h"
#include "wifi_api.h"
#include "wlan_library.h"

namespace {

using Lines = std::vector<std::wstring>;

const wchar_t kDongleName[] = L"{0A1B2C3D-0000-1111-2222-333344445555}";

// What the fake native Wi-Fi calls saw, and what they answer.
struct WlanRecord {
    DWORD openAnswer = ERROR_SUCCESS;
    DWORD setProfileAnswer = ERROR_SUCCESS;
    DWORD reasonToGive = 0;
    DWORD connectAnswer = ERROR_SUCCESS;
    DWORD reasonTextAnswer = ERROR_SUCCESS;
    int opens = 0;
    int closes = 0;
    int setProfiles = 0;
    int connects = 0;
    DWORD openVersion = 0;
    GUID iface{};
    DWORD flags = 99;
    std::wstring xml;
    bool securityNull = false;
    BOOL overwrite = FALSE;
    WLAN_CONNECTION_MODE mode{};
    std::wstring profile;
    std::string ssid;
    bool bssidListNull = false;
    DOT11_BSS_TYPE bssType{};
    DWORD connectFlags = 99;
    DWORD reasonAsked = 0;
};
WlanRecord s_wlan;
HANDLE const kClient = reinterpret_cast<HANDLE>(0x1234);

DWORD WINAPI FakeOpen(DWORD version, PVOID, PDWORD negotiated, PHANDLE client)
{
    ++s_wlan.opens;
    s_wlan.openVersion = version;
    *negotiated = version;
    if (s_wlan.openAnswer == ERROR_SUCCESS) *client = kClient;
    return s_wlan.openAnswer;
}
DWORD WINAPI FakeClose(HANDLE client, PVOID)
{
    if (client == kClient) ++s_wlan.closes;
    return ERROR_SUCCESS;
}
DWORD WINAPI FakeSetProfile(HANDLE, const GUID* iface, DWORD flags, LPCWSTR xml, LPCWSTR security,
                            BOOL overwrite, PVOID, DWORD* reason)
{
    ++s_wlan.setProfiles;
    s_wlan.iface = *iface;
    s_wlan.flags = flags;
    s_wlan.xml = xml;
    s_wlan.securityNull = security == nullptr;
    s_wlan.overwrite = overwrite;
    *reason = s_wlan.reasonToGive;
    return s_wlan.setProfileAnswer;
}
DWORD WINAPI FakeConnect(HANDLE, const GUID* iface, const WLAN_CONNECTION_PARAMETERS* p, PVOID)
{
    ++s_wlan.connects;
    s_wlan.iface = *iface;
    s_wlan.mode = p->wlanConnectionMode;
    s_wlan.profile = p->strProfile;
    s_wlan.ssid.assign(reinterpret_cast<const char*>(p->pDot11Ssid->ucSSID), p->pDot11Ssid->uSSIDLength);
    s_wlan.bssidListNull = p->pDesiredBssidList == nullptr;
    s_wlan.bssType = p->dot11BssType;
    s_wlan.connectFlags = p->dwFlags;
    return s_wlan.connectAnswer;
}
DWORD WINAPI FakeReasonText(DWORD reason, DWORD count, PWCHAR text, PVOID)
{
    s_wlan.reasonAsked = reason;
    if (s_wlan.reasonTextAnswer == ERROR_SUCCESS) wcsncpy(text, L"the network is not available", count);
    return s_wlan.reasonTextAnswer;
}
const WlanCalls kFakeWlan{FakeOpen, FakeClose, FakeSetProfile, FakeConnect, FakeReasonText};

class WifiApiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_wlan = WlanRecord();
        g_pWlanCallsOverride = &kFakeWlan;
        m_dongle.name = kDongleName;
    }
    void TearDown() override { g_pWlanCallsOverride = nullptr; }

    NetworkAdapter m_dongle;
    CWifiApi m_wifi;
};

std::wstring RoamingAppData()
{
    wchar_t folder[MAX_PATH];
    return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))
               ? folder
               : L"";
}

const char kA7Profile[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<WLANProfile xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\">\r\n"
    " <name>A7</name>\r\n"
    " <SSIDConfig>\r\n"
    "  <SSID>\r\n"
    "   <hex>4137</hex>\r\n"
    "   <name>A7</name>\r\n"
    "  </SSID>\r\n"
    "  <nonBroadcast>false</nonBroadcast>\r\n"
    " </SSIDConfig>\r\n"
    " <connectionType>IBSS</connectionType>\r\n"
    " <connectionMode>manual</connectionMode>\r\n"
    " <MSM>\r\n"
    "  <security>\r\n"
    "   <authEncryption>\r\n"
    "    <authentication>open</authentication>\r\n"
    "    <encryption>none</encryption>\r\n"
    "    <useOneX>false</useOneX>\r\n"
    "   </authEncryption>\r\n"
    "  </security>\r\n"
    " </MSM>\r\n"
    "</WLANProfile>\r\n";

TEST_F(WifiApiTest, AdHocProfileForA7IsWrittenToRoamingAppDataAndRegistered)
{
    const std::wstring folder = RoamingAppData();
    ASSERT_FALSE(folder.empty());
    const std::wstring path = folder + L"\\A7.xml";
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.addAdHocProfile(folder, m_dongle, L"A7", L"A7"));
    const std::string bytes = ReadWholeFile(path);
    DeleteFileW(path.c_str());
    EXPECT_EQ(bytes, kA7Profile);
    EXPECT_EQ(capture.Messages(),
              (Lines{L"D:CWifiApi::addAdHocProfile(SSID='A7', GUID='{0A1B2C3D-0000-1111-2222-333344445555}')",
                     L"I:CWifiApi::_createAdHocXmlProfile()", L"D:Profile set successfully."}));
    EXPECT_EQ(s_wlan.setProfiles, 1);
    EXPECT_EQ(s_wlan.openVersion, 2u);
    EXPECT_EQ(s_wlan.closes, 1);
    EXPECT_EQ(s_wlan.iface.Data1, 0x0A1B2C3Du);
    EXPECT_EQ(s_wlan.flags, 0u);
    EXPECT_TRUE(s_wlan.securityNull);
    EXPECT_TRUE(s_wlan.overwrite);
    EXPECT_NE(s_wlan.xml.find(L"<hex>4137</hex>"), std::wstring::npos) << s_wlan.xml;
}

// A host's user-interface thread is often in the single-threaded model already: the profile is
// registered all the same, and the thread's COM is left as it was.
TEST_F(WifiApiTest, ProfileIsRegisteredFromAHostThreadInTheSingleThreadedModel)
{
    const std::wstring folder = RoamingAppData();
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.addAdHocProfile(folder, m_dongle, L"A7", L"A7"));
    DeleteFileW((folder + L"\\A7.xml").c_str());
    EXPECT_EQ(s_wlan.setProfiles, 1);
    EXPECT_NE(s_wlan.xml.find(L"<hex>4137</hex>"), std::wstring::npos) << s_wlan.xml;
    const Lines messages = capture.Messages();
    EXPECT_EQ(messages.back(), L"D:Profile set successfully.");
    // Still single-threaded, and initialised once: the second call only counts again.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

TEST_F(WifiApiTest, ProfilePathAddsABackslashOnlyWhenTheFolderLacksOne)
{
    EXPECT_EQ(AdHocProfilePath(L"C:\\Users\\me\\AppData", L"A7"), L"C:\\Users\\me\\AppData\\A7.xml");
    EXPECT_EQ(AdHocProfilePath(L"C:\\Users\\me\\AppData\\", L"A7"), L"C:\\Users\\me\\AppData\\A7.xml");
    TempDir dir;
    EXPECT_TRUE(m_wifi.addAdHocProfile(dir.Path() + L"\\", m_dongle, L"B8", L"B8"));
    EXPECT_FALSE(ReadWholeFile(dir.File(L"B8.xml")).empty());
}

TEST_F(WifiApiTest, ReservedXmlCharactersAreEscapedSoThePlatformGetsAWellFormedProfile)
{
    TempDir dir;
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.addAdHocProfile(dir.Path(), m_dongle, L"a&b'", L"x<y>\"z"));
    const std::string bytes = ReadWholeFile(dir.File(L"a&b'.xml"));
    EXPECT_NE(bytes.find(" <name>x&lt;y&gt;&quot;z</name>\r\n"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("   <hex>61266227</hex>\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("   <name>a&amp;b&apos;</name>\r\n"), std::string::npos);
    EXPECT_EQ(s_wlan.setProfiles, 1);
    EXPECT_EQ(capture.Messages().back(), L"D:Profile set successfully.");
}

TEST_F(WifiApiTest, MissingInputsOrAnUnopenableFileWriteNoProfile)
{
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"C9.xml").c_str(), nullptr));
    NetworkAdapter nameless;
    const struct {
        const wchar_t* ssid;
        const wchar_t* profile;
        const NetworkAdapter* dongle;
        std::wstring path;
        const wchar_t* line;
    } cases[] = {
        {L"", L"P", &m_dongle, dir.File(L"x.xml"), L"E:CWifiApi::_createAdHocXmlProfile() - no ssid provided."},
        {L"S", L"", &m_dongle, dir.File(L"x.xml"),
         L"E:CWifiApi::_createAdHocXmlProfile() - no profile name provided."},
        {L"S", L"P", &nameless, dir.File(L"x.xml"),
         L"E:CWifiApi::_createAdHocXmlProfile() - no interfaceGUID provided."},
        {L"S", L"P", &m_dongle, L"", L"E:CWifiApi::_createAdHocXmlProfile() - xml path not set."},
        {L"C9", L"C9", &m_dongle, dir.File(L"C9.xml"),
         L"E:CWifiApi::_createAdHocXmlProfile() - unable to open file."},
        {L"a\\b", L"P", &m_dongle, dir.File(L"a\\b.xml"),
         L"E:CWifiApi::_createAdHocXmlProfile() - unable to open file."},
    };
    for (const auto& c : cases) {
        DebugOutputCapture capture;
        EXPECT_FALSE(m_wifi._createAdHocXmlProfile(c.ssid, c.profile, *c.dongle, c.path));
        EXPECT_EQ(capture.Messages(), (Lines{L"I:CWifiApi::_createAdHocXmlProfile()", c.line}));
    }
    DebugOutputCapture capture;
    EXPECT_FALSE(m_wifi.addAdHocProfile(dir.Path(), m_dongle, L"C9", L"C9"));
    EXPECT_EQ(capture.Messages().back(), L"E:CWifiApi::addProfile() : Unable to create XML file.");
    EXPECT_EQ(s_wlan.setProfiles, 0);
}

TEST_F(WifiApiTest, SsidHexIsTwoUpperCaseDigitsPerUnitAndStaysWithinItsRoom)
{
    EXPECT_EQ(m_wifi._ssidToHex(L"VCI"), L"564349");
    EXPECT_EQ(m_wifi._ssidToHex(L"a\x0100z"), L"61100" L"7A");
    EXPECT_EQ(m_wifi._ssidToHex(L""), L"");
    std::wstring ninetyNine;
    for (int i = 0; i < 99; ++i) ninetyNine += L"41";
    EXPECT_EQ(m_wifi._ssidToHex(std::wstring(120, L'A')), ninetyNine);  // the first 99 units only
    const std::wstring wide = m_wifi._ssidToHex(std::wstring(99, L'\x1234'));
    EXPECT_EQ(wide.size(), 196u);  // 49 whole units of four digits
    EXPECT_EQ(wide.substr(0, 8), L"12341234");
}

TEST_F(WifiApiTest, InvalidDongleGuidIsReportedByBothTheProfileAndTheConnectStep)
{
    TempDir dir;
    m_dongle.name = L"{not-a-guid}";
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.addAdHocProfile(dir.Path(), m_dongle, L"A7", L"A7"));
    EXPECT_FALSE(m_wifi.connectAdHoc(L"A7", m_dongle, L"A7"));
    EXPECT_EQ(capture.Messages(),
              (Lines{L"D:CWifiApi::addAdHocProfile(SSID='A7', GUID='{not-a-guid}')",
                     L"I:CWifiApi::_createAdHocXmlProfile()", L"E:Invalid GUID 'not-a-guid'",
                     L"E:Invalid parameter", L"D:CWifiApi::connectAdHoc(SSID='A7', GUID='{not-a-guid}')",
                     L"E:Invalid GUID 'not-a-guid'", L"E:Invalid parameter"}));
    EXPECT_EQ(s_wlan.opens, 0);
}

TEST_F(WifiApiTest, SetProfileReportsEachPlatformAnswer)
{
    TempDir dir;
    const std::wstring path = AdHocProfilePath(dir.Path(), L"A7");
    ASSERT_TRUE(m_wifi._createAdHocXmlProfile(L"A7", L"A7", m_dongle, path));
    const struct {
        DWORD openAnswer, setAnswer, reasonTextAnswer;
        Lines lines;
    } cases[] = {
        {0, 1206, 0, {L"E:The profile is bad. Reason:", L"E:The reason is \"the network is not available\"."}},
        {0, 1206, 5, {L"E:The profile is bad. Reason:", L"E:The reason code is 163851."}},
        {0, 87, 0, {L"E:Invalid parameter"}},
        {0, 50, 0, {L"E:Command not supported"}},
        {0, 5, 0, {L"E:Got error 5"}},
        {1062, 0, 0, {L"E:Got error 1062"}},
    };
    for (const auto& c : cases) {
        s_wlan = WlanRecord();
        s_wlan.openAnswer = c.openAnswer;
        s_wlan.setProfileAnswer = c.setAnswer;
        s_wlan.reasonToGive = 163851;
        s_wlan.reasonTextAnswer = c.reasonTextAnswer;
        DebugOutputCapture capture;
        EXPECT_TRUE(m_wifi.setProfile(StripBraces(kDongleName), path));
        EXPECT_EQ(capture.Messages(), c.lines);
        EXPECT_EQ(s_wlan.setProfiles, c.openAnswer == 0 ? 1 : 0);
        EXPECT_EQ(s_wlan.closes, c.openAnswer == 0 ? 1 : 0);
    }
}

TEST_F(WifiApiTest, ProfileTheXmlComponentCannotLoadIsBadWithTheUnknownReason)
{
    TempDir dir;
    ASSERT_TRUE(WriteWholeFile(dir.File(L"bad.xml"), "<WLANProfile><name>"));
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.setProfile(StripBraces(kDongleName), dir.File(L"bad.xml")));
    EXPECT_EQ(capture.Messages(), (Lines{L"E:The profile is bad. Reason:",
                                         L"E:The reason is \"the network is not available\"."}));
    EXPECT_EQ(s_wlan.reasonAsked, 0x10001u);
    EXPECT_EQ(s_wlan.opens, 0);
}

TEST_F(WifiApiTest, AcceptedAdHocConnectionPassesTheProfileParametersAndWritesNoLine)
{
    DebugOutputCapture capture;
    EXPECT_TRUE(m_wifi.connectAdHoc(L"A7", m_dongle, L"A7"));
    EXPECT_EQ(capture.Messages(),
              Lines{L"D:CWifiApi::connectAdHoc(SSID='A7', GUID='{0A1B2C3D-0000-1111-2222-333344445555}')"});
    EXPECT_EQ(s_wlan.connects, 1);
    EXPECT_EQ(s_wlan.iface.Data1, 0x0A1B2C3Du);
    EXPECT_EQ(s_wlan.mode, wlan_connection_mode_profile);
    EXPECT_EQ(s_wlan.profile, L"A7");
    EXPECT_EQ(s_wlan.ssid, "A7");
    EXPECT_TRUE(s_wlan.bssidListNull);
    EXPECT_EQ(s_wlan.bssType, dot11_BSS_type_independent);
    EXPECT_EQ(s_wlan.connectFlags, 0u);
    EXPECT_EQ(s_wlan.closes, 1);
}

TEST_F(WifiApiTest, ConnectMapsModesAndReportsRefusals)
{
    const std::wstring guid = StripBraces(kDongleName);
    const std::wstring ssid32(32, L'S');
    const std::wstring ssid33(33, L'S');
    const struct {
        const wchar_t* mode;
        std::wstring ssid;
        DWORD connectAnswer;
        bool result;
        Lines lines;
        DOT11_BSS_TYPE bssType;
    } cases[] = {
        {L"ADHOC", ssid32, 0, true, {}, dot11_BSS_type_independent},
        {L"a", L"A7", 0, true, {}, dot11_BSS_type_independent},
        {L"Infrastructure", L"A7", 0, true, {}, dot11_BSS_type_infrastructure},
        {L"i", L"A7", 0, true, {}, dot11_BSS_type_infrastructure},
        {L"mesh", L"A7", 0, false, {L"E:Invalid parameter"}, dot11_BSS_type_any},
        {L"adhoc", ssid33, 0, false, {L"E:Invalid parameter"}, dot11_BSS_type_any},
        {L"adhoc", L"A7", 87, false, {L"E:Invalid parameter"}, dot11_BSS_type_independent},
        {L"adhoc", L"A7", 50, false, {L"E:Command not supported"}, dot11_BSS_type_independent},
        {L"adhoc", L"A7", 1168, false, {L"E:Got error 1168"}, dot11_BSS_type_independent},
    };
    for (const auto& c : cases) {
        s_wlan = WlanRecord();
        s_wlan.connectAnswer = c.connectAnswer;
        DebugOutputCapture capture;
        EXPECT_EQ(m_wifi.connect(c.mode, c.ssid, L"P", guid), c.result) << c.mode;
        EXPECT_EQ(capture.Messages(), c.lines) << c.mode;
        const bool reached = c.bssType != dot11_BSS_type_any;
        EXPECT_EQ(s_wlan.connects, reached ? 1 : 0) << c.mode;
        if (reached) {
            EXPECT_EQ(s_wlan.bssType, c.bssType);
        }
    }
}

TEST(Dot11SsidTest, SsidRecordHoldsUpToThirtyTwoBytesWithoutTerminator)
{
    DOT11_SSID record{};
    EXPECT_EQ(MakeDot11Ssid(L"VCI", &record), 0u);
    EXPECT_EQ(record.uSSIDLength, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record.ucSSID), 3), "VCI");
    EXPECT_EQ(MakeDot11Ssid(std::wstring(32, L'x').c_str(), &record), 0u);
    EXPECT_EQ(record.uSSIDLength, 32u);
    EXPECT_EQ(MakeDot11Ssid(std::wstring(33, L'x').c_str(), &record), 87u);
    EXPECT_EQ(MakeDot11Ssid(nullptr, &record), 87u);
    EXPECT_EQ(StripBraces(L"{a}{b}c"), L"abc");
}

}  // namespace
