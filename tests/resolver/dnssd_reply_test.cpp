// The DNS-SD answers: TXT rendering, log blocks and which answers a run keeps.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <strsafe.h>

#include <algorithm>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "dnssd_client.h"
#include "dnssd_reply_log.h"
#include "fake_adapters.h"
#include "network_adapters.h"
#include "resolver_run.h"
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

// A run of a chosen link over events of the test's own, as the callbacks see it.
class ReplyFilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hResolveDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        g_hGetAddrInfoDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override
    {
        if (m_run) m_run->Release();
        CloseHandle(g_hResolveDone.exchange(nullptr));
        CloseHandle(g_hGetAddrInfoDone.exchange(nullptr));
    }
    CResolverRun& NewRun(const char* link)
    {
        if (m_run) m_run->Release();
        StringCchCopyA(g_szInterfaceField, kRequestFieldSize, link);
        m_run = CResolverRun::Create();
        EXPECT_NE(m_run, nullptr);
        return *m_run;
    }
    static std::vector<ResolveReply> Resolved(CResolverRun& run)
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        return run.m_ResolveReplies;
    }
    static std::vector<AddrInfoReply> Addresses(CResolverRun& run)
    {
        std::lock_guard<CMutex> lock(run.m_RepliesLock);
        return run.m_AddrInfoReplies;
    }
    static bool Signalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
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

    CResolverRun* m_run = nullptr;
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
        const char* link;
        uint32_t index;
        bool saved;
        Lines lines;
    } cases[] = {
        {"usb", 5, true, {port + L"5", L"D:resolve_reply() [usb]"}},
        {"usb", 3, true, {port + L"3", L"D:resolve_reply() [usb]"}},
        {"wifi", 9, true, {port + L"9", L"D:resolve_reply() [wifi]"}},
        {"wifi", 5, false,
         {port + L"5", usbLine, L"D:resolve_reply(): looking for WIFI, got USB. Skip it."}},
        {"wifi", 3, true,
         {port + L"3", usbLine, L"D:resolve_reply(): looking for WIFI but did not return WIFI. Save it."}},
        {"eth", 3, true, {port + L"3"}},
        {"eth", 9, true,
         {port + L"9", L"D:resolve_reply(): looking for ETH but did not return ETH. Save it.", usbLine}},
        {"eth", 5, false,
         {port + L"5", L"D:resolve_reply(): looking for ETH but did not return ETH. Save it.", usbLine,
          L"D:resolve_reply(): looking for ETH, got USB. Skip it."}},
    };
    for (const auto& c : cases) {
        CResolverRun& run = NewRun(c.link);
        DebugOutputCapture capture;
        resolve_reply(nullptr, 0, c.index, 0, "VCI-A7._zeb_vci._tcp.local.", "vci-a7.local.", htons(58713),
                      0, nullptr, &run);
        EXPECT_EQ(Decision(capture.Messages()), c.lines) << c.link << " " << c.index;
        EXPECT_EQ(Signalled(g_hResolveDone), c.saved);
        const std::vector<ResolveReply> saved = Resolved(run);
        ASSERT_EQ(saved.size(), c.saved ? 1u : 0u);
        if (c.saved) {
            EXPECT_STREQ(saved[0].hostTarget, "vci-a7.local.");
            EXPECT_EQ(saved[0].port, 58713);
            EXPECT_EQ(saved[0].interfaceIndex, c.index);
        }
    }
}

TEST_F(ReplyFilterTest, ResolveAnswerWithoutHostTargetIsNotKept)
{
    CResolverRun& run = NewRun("usb");
    resolve_reply(nullptr, 0, 5, 0, "x", nullptr, 0, 0, nullptr, &run);
    resolve_reply(nullptr, 0, 5, 0, "x", "", 0, 0, nullptr, &run);
    EXPECT_FALSE(Signalled(g_hResolveDone));
    EXPECT_TRUE(Resolved(run).empty());
}

TEST_F(ReplyFilterTest, OnlyAnAnswerWithoutErrorAndWithARealIpv4AddressIsKept)
{
    const struct {
        DNSServiceFlags flags;
        DNSServiceErrorType error;
        const char* address;  // null: no socket address
        bool kept;
        bool ends;
    } cases[] = {
        {0, 0, "10.0.0.4", true, true},
        {kDNSServiceFlagsMoreComing, 0, "10.0.0.3", true, false},
        {0, 0, nullptr, false, true},
        {0, -65554, "0.0.0.0", false, true},  // a negative answer, as unicast DNS gives it
        {0, -65554, "10.0.0.3", false, true},
        {0, 0, "0.0.0.0", false, true},
    };
    for (const auto& c : cases) {
        CResolverRun& run = NewRun("eth");
        sockaddr_in in{};
        in.sin_family = AF_INET;
        if (c.address) in.sin_addr.s_addr = inet_addr(c.address);
        DebugOutputCapture capture;
        addrinfo_reply(nullptr, c.flags, 5, c.error, "vci.local.",
                       c.address ? reinterpret_cast<sockaddr*>(&in) : nullptr, 0, &run);
        const std::string shown = c.address ? c.address : "none";
        const std::string label = std::to_string(c.error) + " " + shown;
        EXPECT_EQ(Signalled(g_hGetAddrInfoDone), c.ends) << label;
        const std::vector<AddrInfoReply> kept = Addresses(run);
        ASSERT_EQ(kept.size(), c.kept ? 1u : 0u) << label;
        const Lines lines = capture.Messages();
        const std::wstring got = L"D:addrinfo_reply(): got ipaddress:" + std::wstring(shown.begin(), shown.end());
        EXPECT_EQ(std::count(lines.begin(), lines.end(), got), c.kept ? 1 : 0) << label;
        if (c.kept) {
            EXPECT_STREQ(kept[0].address, c.address);
            EXPECT_STREQ(kept[0].hostName, "vci.local.");
        }
        EXPECT_EQ(std::count(lines.begin(), lines.end(), L"D:addrinfo_reply(): more data is coming..."),
                  c.ends ? 0 : 1) << label;
    }
}

TEST_F(ReplyFilterTest, AnswersToAnEndedRunSignalNothing)
{
    CResolverRun& run = NewRun("usb");
    run.End();
    EXPECT_TRUE(run.Stopped());
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = inet_addr("10.0.0.4");
    resolve_reply(nullptr, 0, 5, 0, "x", "vci.local.", 0, 0, nullptr, &run);
    addrinfo_reply(nullptr, 0, 5, 0, "vci.local.", reinterpret_cast<sockaddr*>(&in), 0, &run);
    EXPECT_FALSE(Signalled(g_hResolveDone));
    EXPECT_FALSE(Signalled(g_hGetAddrInfoDone));
}

}  // namespace
