// The DNS-SD answers: TXT rendering, log blocks and which answers a run keeps.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "dnssd_client.h"
#include "dnssd_reply_log.h"
#include "fake_adapters.h"
#include "network_adapters.h"
#include "run_state.h"

namespace {

using Lines = std::vector<std::wstring>;

std::wstring Txt(const std::string& record)
{
    return FormatTxtRecord(static_cast<uint16_t>(record.size()),
                           reinterpret_cast<const unsigned char*>(record.data()));
}

TEST(TxtRecordTest, RendersEachStringAfterABlankWithSpecialCharactersEscaped)
{
    EXPECT_EQ(Txt(std::string("\x03" "a=1" "\x03" "b c", 8)), L" a=1 b\\ c");
    EXPECT_EQ(Txt(std::string("\x03" "a\\b", 4)), L" a\\\\\\\\b");
    EXPECT_EQ(Txt(std::string("\x05" "ab", 3)), L"<< invalid txt data >>");
    EXPECT_EQ(Txt(std::string("\x01" "a" "\x09" "x", 4)), L"<< invalid txt data >>");
    EXPECT_EQ(Txt(std::string("\x00" "\x01" "x", 3)), L" x");
    EXPECT_EQ(Txt(std::string("\x03" "\x01" "\x00" "$", 4)), L" \\\\x01\\\\\\x00\\$");
    EXPECT_EQ(Txt(std::string("\x02" "&;", 3)), L" \\&\\;");
    EXPECT_EQ(Txt(""), L"");
}

TEST(TxtRecordTest, LongRenderingStaysWithinItsBuffer)
{
    std::string record;
    for (int i = 0; i < 4; ++i) record += std::string(1, '\xff') + std::string(255, '*');
    EXPECT_EQ(Txt(record).size(), kTxtTextChars - 1);
}

TEST(ReplyLogTest, ResolveAndAddressBlocksShowEveryField)
{
    DebugOutputCapture capture;
    const std::string txt("\x07" "usb=yes", 8);
    LogResolveReply(0x2, 5, 0, "VCI-A7._zeb_vci._tcp.local.", "vci-a7.local.", 58713,
                    static_cast<uint16_t>(txt.size()), reinterpret_cast<const unsigned char*>(txt.data()));
    LogResolveReply(0, 5, -65537, "x", "y", 1, 0, nullptr);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = inet_addr("169.254.10.1");
    LogAddrInfoReply(0x1, 5, 0, "vci-a7.local.", reinterpret_cast<sockaddr*>(&in), 120);
    LogAddrInfoReply(0, 5, 0, "vci-a7.local.", nullptr, 0);
    LogAddrInfoReply(0, 5, -65554, "vci-a7.local.", nullptr, 0);
    const Lines expected{
        L"D:resolve_reply():",
        L"D:\t      fullname: VCI-A7._zeb_vci._tcp.local.",
        L"D:\t   host target: vci-a7.local.",
        L"D:\t         Flags: 0x2",
        L"D:\t          port: 58713",
        L"D:\tinterfaceIndex: 5",
        L"D:\tTXT record: [ usb=yes]",
        L"D:resolve_reply(): Error code -65537",
        L"D:addrinfo_reply():",
        L"D:\t         flags: 0x1",
        L"D:\tinterfaceIndex: 5",
        L"D:\t     errorCode: 0",
        L"D:\t     host name: vci-a7.local.",
        L"D:\t       address: 169.254.10.1",
        L"D:\t           TTL: 120",
        L"D:addrinfo_reply():",
        L"D:\t         flags: 0x0",
        L"D:\tinterfaceIndex: 5",
        L"D:\t     errorCode: 0",
        L"D:\t     host name: vci-a7.local.",
        L"D:\t       address: <none>",
        L"D:\t           TTL: 0",
        L"D:addrinfo_reply(): Error code -65554",
    };
    EXPECT_EQ(capture.Messages(), expected);
}

// The run's events and reply lists for one callback at a time.
class ReplyFilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hResolveDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        g_hGetAddrInfoDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ClearReplies();
    }
    void TearDown() override
    {
        CloseHandle(g_hResolveDone.exchange(nullptr));
        CloseHandle(g_hGetAddrInfoDone.exchange(nullptr));
        ClearReplies();
    }
    // Messages after the resolve block (from the "port:" line on).
    static Lines Decision(const Lines& lines)
    {
        Lines out;
        bool after = false;
        for (const std::wstring& line : lines) {
            if (line.rfind(L"D:resolve_reply(): port:", 0) == 0) after = true;
            if (after) out.push_back(line);
        }
        return out;
    }
};

TEST_F(ReplyFilterTest, ResolveAnswerIsKeptOrSkippedByTheWantedLink)
{
    // USB adapter 5 (type 1), Wi-Fi 9 (type 71), Ethernet 3 (type 6).
    FakeAdapterList fake({{"{U}", "Remote NDIS based Internet Sharing Device", 1, 5},
                          {"{W}", "Wireless WiFi Link", 71, 9},
                          {"{E}", "Intel Ethernet", 6, 3}});
    GetNetworkInterfaces();
    const std::wstring port = L"D:resolve_reply(): port:58713  interface:";
    const std::wstring usbLine = L"D:FindUSBInterface(): Using 'Remote NDIS based Internet Sharing Device' (adapter index:5)";
    const struct {
        EDesiredInterface wanted;
        uint32_t index;
        bool saved;
        Lines lines;
    } cases[] = {
        {DESIRED_USB, 5, true, {port + L"5", L"D:resolve_reply() [usb]"}},
        {DESIRED_USB, 3, true, {port + L"3", L"D:resolve_reply() [usb]"}},
        {DESIRED_WIFI, 9, true, {port + L"9", L"D:resolve_reply() [wifi]"}},
        {DESIRED_WIFI, 5, false,
         {port + L"5", usbLine, L"D:resolve_reply(): looking for WIFI, got USB. Skip it."}},
        {DESIRED_WIFI, 3, true,
         {port + L"3", usbLine, L"D:resolve_reply(): looking for WIFI but did not return WIFI. Save it."}},
        {DESIRED_ETH, 3, true, {port + L"3"}},
        {DESIRED_ETH, 9, true,
         {port + L"9", L"D:resolve_reply(): looking for ETH but did not return ETH. Save it.", usbLine}},
        {DESIRED_ETH, 5, false,
         {port + L"5", L"D:resolve_reply(): looking for ETH but did not return ETH. Save it.", usbLine,
          L"D:resolve_reply(): looking for ETH, got USB. Skip it."}},
    };
    for (const auto& c : cases) {
        ClearReplies();
        g_DesiredInterface = c.wanted;
        DebugOutputCapture capture;
        resolve_reply(nullptr, 0, c.index, 0, "VCI-A7._zeb_vci._tcp.local.", "vci-a7.local.", htons(58713),
                      0, nullptr, nullptr);
        EXPECT_EQ(Decision(capture.Messages()), c.lines) << c.wanted << " " << c.index;
        EXPECT_EQ(WaitForSingleObject(g_hResolveDone, 0) == WAIT_OBJECT_0, c.saved);
        std::lock_guard<CMutex> lock(g_RepliesLock);
        ASSERT_EQ(g_ResolveReplies.size(), c.saved ? 1u : 0u);
        if (c.saved) {
            EXPECT_STREQ(g_ResolveReplies[0].hostTarget, "vci-a7.local.");
            EXPECT_EQ(g_ResolveReplies[0].port, 58713);
            EXPECT_EQ(g_ResolveReplies[0].interfaceIndex, c.index);
        }
    }
}

TEST_F(ReplyFilterTest, ResolveAnswerWithoutHostTargetIsNotKept)
{
    g_DesiredInterface = DESIRED_USB;
    resolve_reply(nullptr, 0, 5, 0, "x", nullptr, 0, 0, nullptr, nullptr);
    resolve_reply(nullptr, 0, 5, 0, "x", "", 0, 0, nullptr, nullptr);
    EXPECT_NE(WaitForSingleObject(g_hResolveDone, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(g_ResolveReplies.empty());
}

TEST_F(ReplyFilterTest, AddressAnswerKeepsIpv4AndWaitsWhileMoreAreComing)
{
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = inet_addr("10.0.0.3");
    DebugOutputCapture capture;
    addrinfo_reply(nullptr, kDNSServiceFlagsMoreComing, 5, -65554, "vci.local.",
                   reinterpret_cast<sockaddr*>(&in), 0, nullptr);
    EXPECT_NE(WaitForSingleObject(g_hGetAddrInfoDone, 0), WAIT_OBJECT_0);
    addrinfo_reply(nullptr, 0, 5, 0, "vci.local.", nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(g_hGetAddrInfoDone, 0), WAIT_OBJECT_0);
    const Lines lines = capture.Messages();
    EXPECT_EQ(lines[1], L"D:addrinfo_reply(): got ipaddress:10.0.0.3");
    EXPECT_EQ(lines[2], L"D:addrinfo_reply(): more data is coming...");
    std::lock_guard<CMutex> lock(g_RepliesLock);
    ASSERT_EQ(g_AddrInfoReplies.size(), 1u);
    EXPECT_STREQ(g_AddrInfoReplies[0].address, "10.0.0.3");
    EXPECT_STREQ(g_AddrInfoReplies[0].hostName, "vci.local.");
}

}  // namespace
