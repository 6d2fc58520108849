// The adapter survey over adapter records supplied through the seam, and the registry lookup.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "fake_adapters.h"
#include "network_adapter_info.h"
#include "network_adapters.h"

namespace {

using Lines = std::vector<std::wstring>;

const char kNetworkKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

// Messages without the per-adapter blocks: only the lines that do not belong to one.
Lines Filtered(const Lines& lines, const wchar_t* prefix)
{
    Lines out;
    for (const std::wstring& line : lines)
        if (line.rfind(prefix, 0) == 0) out.push_back(line);
    return out;
}

TEST(NetworkAdaptersTest, UsbAdapterIsTheFirstWhoseDescriptionNamesRndisOrOrbal)
{
    const struct {
        std::vector<std::string> descriptions;
        int32_t expected;
    } cases[] = {
        {{"Intel Ethernet", "Remote NDIS based Internet Sharing Device"}, 11},
        {{"my rndis link"}, 10},
        {{"RNDIS Gadget"}, 10},
        {{"Rndis Gadget"}, -1},
        {{"ORBAL device"}, 10},
        {{"the orbal link"}, 10},
        {{"Intel Ethernet", "rndis one", "RNDIS two"}, 11},
        {{}, -1},
    };
    for (const auto& c : cases) {
        std::vector<FakeAdapter> adapters;
        for (std::size_t i = 0; i < c.descriptions.size(); ++i)
            adapters.push_back({"{A}", c.descriptions[i], 6, static_cast<DWORD>(10 + i)});
        FakeAdapterList fake(adapters);
        GetNetworkInterfaces();
        DebugOutputCapture capture;
        EXPECT_EQ(FindUSBInterface(), c.expected);
        if (c.expected < 0) {
            EXPECT_TRUE(capture.Messages().empty());
        } else {
            const std::wstring description(c.descriptions[c.expected - 10].begin(),
                                           c.descriptions[c.expected - 10].end());
            EXPECT_EQ(capture.Messages(),
                      Lines{L"D:FindUSBInterface(): Using '" + description +
                            L"' (adapter index:" + std::to_wstring(c.expected) + L")"});
        }
    }
}

TEST(NetworkAdaptersTest, SurveyAsksTwiceWhenOneRecordDoesNotFitAndKeepsTypeAndIndex)
{
    FakeAdapterList fake({{"{A}", "Ethernet", 6, 4}, {"{B}", "Wireless", 71, 9}});
    GetNetworkInterfaces();
    const std::vector<ULONG> sizes = FakeAdapterList::CallSizes();
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], sizeof(IP_ADAPTER_INFO));
    EXPECT_EQ(sizes[1], 2 * sizeof(IP_ADAPTER_INFO));
    EXPECT_EQ(LookupAdapterType(9), 71);
    EXPECT_EQ(LookupAdapterType(4), 6);
    EXPECT_EQ(LookupAdapterType(5), -1);
}

TEST(NetworkAdaptersTest, FailingSurveyFindsNoAdapterAndLogsNothing)
{
    FakeAdapterList fake({{"{A}", "rndis", 6, 4}});
    GetNetworkInterfaces();
    ASSERT_EQ(FindUSBInterface(), 4);
    FakeAdapterList none({});
    DebugOutputCapture capture;
    GetNetworkInterfaces();
    EXPECT_TRUE(capture.Messages().empty());
    EXPECT_EQ(FindUSBInterface(), -1);
    EXPECT_EQ(LookupAdapterType(4), -1);
}

TEST(NetworkAdaptersTest, ExitFlagStopsTheWalkBeforeTheNextAdapter)
{
    FakeAdapterList fake({{"{A}", "rndis", 6, 4}});
    const std::atomic<bool> exitFlag{true};
    DebugOutputCapture capture;
    GetNetworkInterfaces(&exitFlag);
    EXPECT_EQ(capture.Messages(), (Lines{L"D:GetNetworkInterfaces(): Network Adapters:",
                                         L"D:>>> GetNetworkInterfaces() - exit signaled"}));
    EXPECT_EQ(FindUSBInterface(), -1);
}

TEST(NetworkAdaptersTest, WirelessAdapterBlockShowsEveryFieldWithTypeUnknown71)
{
    IP_ADAPTER_INFO record{};
    record.ComboIndex = 12;
    std::strcpy(record.AdapterName, "{0A1B2C3D-0000-1111-2222-333344445555}");
    std::strcpy(record.Description, "USB WiFi adapter");
    record.AddressLength = 6;
    const BYTE mac[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00};
    std::memcpy(record.Address, mac, 8);
    record.Index = 12;
    record.Type = 71;
    record.DhcpEnabled = 1;
    IP_ADDR_STRING second{};
    std::strcpy(second.IpAddress.String, "10.0.0.2");
    std::strcpy(second.IpMask.String, "255.0.0.0");
    second.Context = 8;
    record.IpAddressList.Context = 7;
    std::strcpy(record.IpAddressList.IpAddress.String, "169.254.1.2");
    std::strcpy(record.IpAddressList.IpMask.String, "255.255.0.0");
    record.IpAddressList.Next = &second;
    std::strcpy(record.GatewayList.IpAddress.String, "0.0.0.0");
    record.HaveWins = 0;

    DebugOutputCapture capture;
    _log_adapter_info(&record, 3);
    const Lines expected{
        L"D:--Adapter[3]----------------------------------------------------------------------",
        L"D:\t        Combo Index: 12l",
        L"D:\t       Adapter Name: {0A1B2C3D-0000-1111-2222-333344445555}",
        L"D:\t        Description: USB WiFi adapter",
        L"D:\t     Address Length: 6",
        L"D:\t         HW Address: 0x00 0x1A 0x2B 0x3C 0x4D 0x5E 0x00 0x00",
        L"D:\t              Index: 12",
        L"D:\t               Type: unknown [71]",
        L"D:\t        DhcpEnabled: 1",
        L"D:\t   CurrentIpAddress: <null>",
        L"D:\t      IpAddressList:",
        L"D:\t\t\t\t\t  Context: 7l",
        L"D:\t\t\t\t\tIpAddress: 169.254.1.2",
        L"D:\t\t\t\t\t   IpMask: 255.255.0.0",
        L"D:\t\t\t\t\t  Context: 8l",
        L"D:\t\t\t\t\tIpAddress: 10.0.0.2",
        L"D:\t\t\t\t\t   IpMask: 255.0.0.0",
        L"D:\t        GatewayList:",
        L"D:\t\t\t\t\t  Context: 0l",
        L"D:\t\t\t\t\tIpAddress: 0.0.0.0",
        L"D:\t\t\t\t\t   IpMask: ",
        L"D:\t         DhcpServer:",
        L"D:\t\t\t\t\t  Context: 0l",
        L"D:\t\t\t\t\tIpAddress: ",
        L"D:\t\t\t\t\t   IpMask: ",
        L"D:\t           HaveWins: 0",
        L"D:\t  PrimaryWinsServer:",
        L"D:\t\t\t\t\t  Context: 0l",
        L"D:\t\t\t\t\tIpAddress: ",
        L"D:\t\t\t\t\t   IpMask: ",
        L"D:\tSecondaryWinsServer:",
        L"D:\t\t\t\t\t  Context: 0l",
        L"D:\t\t\t\t\tIpAddress: ",
        L"D:\t\t\t\t\t   IpMask: ",
    };
    EXPECT_EQ(capture.Messages(), expected);

    capture.Clear();
    record.CurrentIpAddress = &second;
    record.Type = 6;
    _log_adapter_info(&record, 0);
    const Lines lines = capture.Messages();
    ASSERT_GT(lines.size(), 12u);
    EXPECT_EQ(lines[7], L"D:\t               Type: MIB_IF_TYPE_ETHERNET [6]");
    EXPECT_EQ(lines[9], L"D:\t   CurrentIpAddress:");
    EXPECT_EQ(lines[11], L"D:\t\t\t\t\tIpAddress: 10.0.0.2");

    capture.Clear();
    _log_adapter_info(nullptr, 0);
    EXPECT_EQ(capture.Messages(), Lines{L"E:_log_adapter_info(): pAdapter == NULL!"});
}

TEST(NetworkAdaptersTest, TypeNamesOfTheLog)
{
    const struct {
        int32_t type;
        const wchar_t* name;
    } cases[] = {{1, L"MIB_IF_TYPE_OTHER"},  {6, L"MIB_IF_TYPE_ETHERNET"}, {9, L"MIB_IF_TYPE_TOKENRING"},
                 {15, L"MIB_IF_TYPE_FDDI"},  {23, L"MIB_IF_TYPE_PPP"},     {24, L"MIB_IF_TYPE_LOOPBACK"},
                 {28, L"MIB_IF_TYPE_SLIP"},  {71, L"unknown"},             {0, L"unknown"}};
    for (const auto& c : cases) EXPECT_STREQ(AdapterTypeName(c.type), c.name);
}

TEST(NetworkAdaptersTest, DongleIsRealtekOrUsbWirelessOrUsbWifiInAnyCase)
{
    const struct {
        const wchar_t* description;
        bool dongle;
    } cases[] = {
        {L"Realtek Wireless LAN Adapter", true}, {L"Wireless WiFi Link", false},
        {L"USB WiFi adapter", true},             {L"TP-LINK usb WIRELESS", true},
        {L"Realtek PCIe GBE Family", false},     {L"USB Ethernet", false},
        {L"", false},
    };
    for (const auto& c : cases) {
        DebugOutputCapture capture;
        EXPECT_EQ(isDongle(c.description), c.dongle) << c.description;
        const Lines expected =
            c.dongle ? Lines{std::wstring(L"D:isDongle(): Using '") + c.description + L"'"} : Lines{};
        EXPECT_EQ(capture.Messages(), expected);
    }
}

// A Connection key of our own under the network class key, removed afterwards.
class ConnectionKey {
public:
    ConnectionKey(const std::string& adapter, const wchar_t* name)
        : m_path(std::string(kNetworkKey) + adapter)
    {
        HKEY key = nullptr;
        const std::string connection = m_path + "\\Connection";
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, connection.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        if (name)
            RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~ConnectionKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, m_path.c_str()); }

private:
    std::string m_path;
};

TEST(NetworkAdaptersTest, ConnectionNameComesFromTheAdaptersConnectionKey)
{
    const std::string adapter = "{5A4B3C2D-1111-2222-3333-444455556666}";
    DebugOutputCapture capture;
    EXPECT_EQ(getConnectionID(adapter.c_str()), L"");
    {
        ConnectionKey key(adapter, nullptr);
        EXPECT_EQ(getConnectionID(adapter.c_str()), L"");
    }
    {
        ConnectionKey key(adapter, L"Wireless Network Connection 2");
        EXPECT_EQ(getConnectionID(adapter.c_str()), L"Wireless Network Connection 2");
    }
    EXPECT_EQ(capture.Messages(),
              (Lines{L"D:getConnectionID(): registry path not found",
                     L"E:getConnectionID(): 'Name' setting not found",
                     L"D:getConnectionID(): '{5A4B3C2D-1111-2222-3333-444455556666}' ==> "
                     L"'Wireless Network Connection 2'"}));
}

TEST(NetworkAdaptersTest, DongleSurveyReturnsTheFirstDongleWithItsConnectionName)
{
    const std::string dongle = "{6B5C4D3E-1111-2222-3333-444455556666}";
    ConnectionKey key(dongle, L"WLAN 3");
    FakeAdapterList fake({{"{A}", "Intel Ethernet", 6, 2},
                          {dongle, "Realtek Wireless LAN Adapter", 71, 7},
                          {"{C}", "USB WiFi adapter", 71, 8}});
    CNetworkAdapterInfo info;
    NetworkAdapter result;
    DebugOutputCapture capture;
    ASSERT_EQ(info.getInterfaces(result), 1);
    EXPECT_EQ(result.name, L"{6B5C4D3E-1111-2222-3333-444455556666}");
    EXPECT_EQ(result.description, L"Realtek Wireless LAN Adapter");
    EXPECT_EQ(result.connectionID, L"WLAN 3");
    EXPECT_EQ(result.type, 71);
    EXPECT_EQ(result.index, 7);
    EXPECT_EQ(Filtered(capture.Messages(), L"D:isDongle"),
              Lines{L"D:isDongle(): Using 'Realtek Wireless LAN Adapter'"});
    EXPECT_TRUE(Filtered(capture.Messages(), L"D:--Adapter").empty());
}

TEST(NetworkAdaptersTest, DongleSurveyWithoutRecordsOrDongleAnswersZero)
{
    NetworkAdapter result;
    {
        FakeAdapterList fake({});
        CNetworkAdapterInfo info;
        DebugOutputCapture capture;
        EXPECT_EQ(info.getInterfaces(result), 0);
        EXPECT_EQ(capture.Messages(), Lines{L"E:CNetworkAdapterInfo::getInterfaces() failed."});
    }
    FakeAdapterList fake({{"{A}", "Wireless WiFi Link", 71, 2}});
    CNetworkAdapterInfo info;
    EXPECT_EQ(info.getInterfaces(result), 0);
    EXPECT_TRUE(result.name.empty());
}

}  // namespace
