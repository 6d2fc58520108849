// Each DNS-SD call's replies and flags, as the selector and the resolver rely on them.
#include <algorithm>

#include "dnssd_fixture.h"

namespace {

const char* const kTwoVcis =
    "instance DEMO-01 _wyn_vci._tcp local.\n"
    "  interfaces 3 7\n"
    "  txt \"usb=true\" \"\" \"wifi=true\"\n"
    "  host vci-demo-01.local.\n"
    "  port 6800\n"
    "  address 169.254.10.1 on 3\n"
    "  address 192.168.5.20 on 7\n"
    "instance OTHER-02 _zeb_vci._tcp local.\n"
    "  interfaces 3\n";

const std::string kDemoTxt = std::string("\x08usb=true\x00\x09wifi=true", 20);

}  // namespace

TEST_F(DnssdTest, BrowseReportsOneAddPerInterfaceThenRemovals)
{
    Load(std::string(kTwoVcis) + "at 40 remove DEMO-01 _wyn_vci._tcp local. on 7\n");
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(kDNSServiceErr_NoError,
        Dnssd().Browse(&ref, 0, 0, "_wyn_vci._tcp", nullptr, CAnswers::OnBrowse, &answers));
    ASSERT_TRUE(answers.PumpUntil(ref.Get(), 3));
    std::vector<Answer> got = answers.Get();
    ASSERT_EQ(3u, got.size());
    // The two adds arrive together: the first says more is coming.
    EXPECT_EQ(kDNSServiceFlagsAdd | kDNSServiceFlagsMoreComing, got[0].flags);
    EXPECT_EQ(3u, got[0].interfaceIndex);
    EXPECT_EQ(kDNSServiceFlagsAdd, got[1].flags);
    EXPECT_EQ(7u, got[1].interfaceIndex);
    EXPECT_EQ(0u, got[2].flags);
    EXPECT_EQ(7u, got[2].interfaceIndex);
    for (const Answer& a : got) {
        EXPECT_EQ(ref.Get(), a.ref);
        EXPECT_EQ(0, a.error);
        EXPECT_EQ("DEMO-01", a.name);
        EXPECT_EQ("_wyn_vci._tcp.", a.regtype);
        EXPECT_EQ("local.", a.domain);
    }
}

TEST_F(DnssdTest, BrowseOnOneInterfaceSeesOnlyThatInterface)
{
    Load(kTwoVcis);
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 7, "_wyn_vci._tcp.", "local.", CAnswers::OnBrowse,
                     &answers));
    ASSERT_TRUE(answers.PumpUntil(ref.Get(), 1));
    Sleep(50);
    answers.PumpUntil(ref.Get(), 2, 100);
    ASSERT_EQ(1u, answers.Count());
    EXPECT_EQ(7u, answers.Get()[0].interfaceIndex);
}

TEST_F(DnssdTest, TxtQueryDeliversRawRdataOncePerInterface)
{
    Load(std::string(kTwoVcis) +
         "instance BROKEN _wyn_vci._tcp local.\n  txt-hex 0975736221 00 ff7769\n");
    struct Case {
        const char* fullname;
        const char* replyName;
        std::string rdata;
        size_t answers;
    } cases[] = {
        {"DEMO-01._wyn_vci._tcp.local", "DEMO-01._wyn_vci._tcp.local.", kDemoTxt, 2},
        {"broken._WYN_VCI._tcp.local.", "BROKEN._wyn_vci._tcp.local.",
            std::string("\x09usb!\x00\xffwi", 9), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fullname);
        CAnswers answers;
        CRef ref;
        ASSERT_EQ(0, Dnssd().QueryRecord(&ref, 0x9100, 0, c.fullname, kDNSServiceType_TXT,
                         kDNSServiceClass_IN, CAnswers::OnQuery, &answers));
        ASSERT_TRUE(answers.PumpUntil(ref.Get(), c.answers));
        for (const Answer& a : answers.Get()) {
            EXPECT_TRUE(a.flags & kDNSServiceFlagsAdd);
            EXPECT_TRUE(a.flags & kDNSServiceFlagAnsweredFromCache);
            EXPECT_EQ(0, a.error);
            EXPECT_EQ(16, a.rrtype);
            EXPECT_EQ(1, a.rrclass);
            EXPECT_EQ(c.rdata, a.data);
            EXPECT_EQ(c.replyName, a.name);
        }
        answers.PumpUntil(ref.Get(), c.answers + 1, 100);
        EXPECT_EQ(c.answers, answers.Count());
    }
}

TEST_F(DnssdTest, UnansweredQuestionGetsNoReplyUnlessItHasATimeLimitOrTheScenarioIsKinder)
{
    // A dot inside an instance name is escaped in its full name; the plain spelling names
    // another service, which nobody answers.
    const std::string network = "instance A.B _zeb_vci._tcp local.\n  txt \"usb=true\"\n"
                                "query-timeout 150\nnegative-delay 5\n";
    const DNSServiceFlags kTimeLimit = kDNSServiceFlagsTimeout;
    struct Case {
        const char* options;
        const char* fullname;
        DNSServiceFlags flags;
        std::vector<DNSServiceErrorType> replies;  // the errors of the replies, in order
    } cases[] = {
        {"", "A.B._zeb_vci._tcp.local", 0x9100, {}},
        {"", "A.B._zeb_vci._tcp.local", 0x9100 | kTimeLimit, {kDNSServiceErr_Timeout}},
        {"", "A\\.B._zeb_vci._tcp.local", kTimeLimit, {0, kDNSServiceErr_Timeout}},
        {"negative-replies\n", "A.B._zeb_vci._tcp.local", 0x9100, {kDNSServiceErr_NoSuchRecord}},
        {"negative-replies\n", "A.B._zeb_vci._tcp.local", 0, {}},
        {"negative-replies\n", "A\\.B._zeb_vci._tcp.local", 0x9100, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + c.fullname + " " + std::to_string(c.flags));
        Load(network + c.options);
        CAnswers answers;
        CRef ref;
        ASSERT_EQ(0, Dnssd().QueryRecord(&ref, c.flags, 0, c.fullname, 16, 1,
                         CAnswers::OnQuery, &answers));
        // Past the time limit: a stopped question gets nothing more.
        answers.PumpUntil(ref.Get(), c.replies.size() + 1, 400);
        std::vector<DNSServiceErrorType> errors;
        for (const Answer& a : answers.Get()) {
            errors.push_back(a.error);
            // The real library flags its time-limit reply Add too; only the negative one is not.
            EXPECT_EQ(a.error != kDNSServiceErr_NoSuchRecord, (a.flags & kDNSServiceFlagsAdd) != 0);
            if (a.error != 0) {
                EXPECT_EQ("", a.data);
            }
        }
        EXPECT_EQ(c.replies, errors);
    }
}

TEST_F(DnssdTest, ResolveAnswersOncePerInterfaceWithHostPortAndTxt)
{
    Load(kTwoVcis);
    struct Case {
        uint32_t interfaceIndex;
        std::vector<uint32_t> expected;
    } cases[] = {{0, {3, 7}}, {7, {7}}, {9, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interfaceIndex);
        CAnswers answers;
        CRef ref;
        ASSERT_EQ(0, Dnssd().Resolve(&ref, 0, c.interfaceIndex, "DEMO-01", "_wyn_vci._tcp",
                         "local.", CAnswers::OnResolve, &answers));
        answers.PumpUntil(ref.Get(), c.expected.size() + 1, 150);
        std::vector<Answer> got = answers.Get();
        ASSERT_EQ(c.expected.size(), got.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(c.expected[i], got[i].interfaceIndex);
            EXPECT_EQ(0, got[i].error);
            EXPECT_EQ("DEMO-01._wyn_vci._tcp.local.", got[i].name);
            EXPECT_EQ("vci-demo-01.local.", got[i].host);
            EXPECT_EQ(6800, got[i].port);
            EXPECT_EQ(kDemoTxt, got[i].data);
        }
    }
}

TEST_F(DnssdTest, GetAddrInfoAnswersIpv4PerInterfaceHonouringTheFilters)
{
    struct Case {
        const char* options;
        uint32_t interfaceIndex;
        DNSServiceProtocol protocol;
        std::vector<std::string> expected;  // "index address error"
    } cases[] = {
        {"", 0, kDNSServiceProtocol_IPv4, {"3 169.254.10.1 0", "7 192.168.5.20 0"}},
        {"", 7, kDNSServiceProtocol_IPv4, {"7 192.168.5.20 0"}},
        {"", 0, kDNSServiceProtocol_IPv6, {}},  // nobody answers: no reply at all
        {"negative-replies\n", 0, kDNSServiceProtocol_IPv6, {"0 0.0.0.0 -65554"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + std::to_string(c.interfaceIndex));
        Load(std::string(kTwoVcis) + c.options);
        CAnswers answers;
        CRef ref;
        ASSERT_EQ(0, Dnssd().GetAddrInfo(&ref, kDNSServiceFlagsReturnIntermediates,
                         c.interfaceIndex, c.protocol, "VCI-DEMO-01.local",
                         CAnswers::OnAddrInfo, &answers));
        answers.PumpUntil(ref.Get(), c.expected.size() + 1, 200);
        std::vector<std::string> got;
        for (const Answer& a : answers.Get()) {
            EXPECT_EQ(AF_INET, a.family);
            EXPECT_EQ("VCI-DEMO-01.local", a.name);
            got.push_back(std::to_string(a.interfaceIndex) + " " + a.address + " " +
                          std::to_string(a.error));
        }
        EXPECT_EQ(c.expected, got);
    }
}

TEST_F(DnssdTest, AddressAnswersCanComeLaterFlaggedOrWithoutAnAddress)
{
    Load("instance V _zeb_vci._tcp local.\n"
         "  host v.local.\n"
         "  address 10.0.0.1 more\n"
         "  address none after 60\n");
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().GetAddrInfo(&ref, 0x1000, 0, 1, "v.local.", CAnswers::OnAddrInfo,
                     &answers));
    ASSERT_TRUE(answers.PumpUntil(ref.Get(), 1));
    // The flagged answer came alone: nothing else was waiting yet.
    EXPECT_FALSE(Dnssd().WaitReadable(ref.Get(), 0));
    ASSERT_TRUE(answers.PumpUntil(ref.Get(), 2));
    std::vector<Answer> got = answers.Get();
    // Both come from the cache: the instance was there before the question.
    EXPECT_EQ(kDNSServiceFlagsAdd | kDNSServiceFlagsMoreComing | kDNSServiceFlagAnsweredFromCache, got[0].flags);
    EXPECT_EQ("10.0.0.1", got[0].address);
    EXPECT_EQ(kDNSServiceFlagsAdd | kDNSServiceFlagAnsweredFromCache, got[1].flags);
    EXPECT_FALSE(got[1].hasAddress);
    EXPECT_EQ(0, got[1].error);
}

TEST_F(DnssdTest, ReconfirmIsRecordedAndCanFlushTheInstance)
{
    Load("flush-delay 10\n"
         "instance GONE _zeb_vci._tcp local.\n  interfaces 2 5\n  txt \"eth=true\"\n"
         "  flush-on-reconfirm\n"
         "instance STAYS _zeb_vci._tcp local.\n  interfaces 2\n");
    CAnswers answers;
    CRef browse;
    ASSERT_EQ(0, Dnssd().Browse(&browse, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    ASSERT_TRUE(answers.PumpUntil(browse.Get(), 3));
    CAnswers txt;
    CRef query;
    ASSERT_EQ(0, Dnssd().QueryRecord(&query, 0x9100, 0, "GONE._zeb_vci._tcp.local", 16, 1,
                     CAnswers::OnQuery, &txt));
    ASSERT_TRUE(txt.PumpUntil(query.Get(), 2));

    const char rdata[] = "\x08" "eth=true";
    ASSERT_EQ(0, Dnssd().ReconfirmRecord(kDNSServiceFlagsAdd, 2, "STAYS._zeb_vci._tcp.local",
                     16, 1, 9, rdata));
    ASSERT_EQ(0, Dnssd().ReconfirmRecord(kDNSServiceFlagsAdd, 5, "GONE._zeb_vci._tcp.local",
                     16, 1, 9, rdata));
    ASSERT_TRUE(answers.PumpUntil(browse.Get(), 5));
    answers.PumpUntil(browse.Get(), 6, 100);
    std::vector<Answer> got = answers.Get();
    ASSERT_EQ(5u, got.size());
    for (size_t i = 3; i < 5; ++i) {
        EXPECT_EQ("GONE", got[i].name);
        EXPECT_EQ(0u, got[i].flags & kDNSServiceFlagsAdd);
    }
    // Flushed from the cache: the live question is told, a new one gets nothing.
    ASSERT_TRUE(txt.PumpUntil(query.Get(), 4));
    EXPECT_EQ(0u, txt.Get()[3].flags & kDNSServiceFlagsAdd);
    CAnswers resolved;
    CRef resolve;
    ASSERT_EQ(0, Dnssd().Resolve(&resolve, 0, 0, "GONE", "_zeb_vci._tcp", "local.",
                     CAnswers::OnResolve, &resolved));
    resolved.PumpUntil(resolve.Get(), 1, 100);
    EXPECT_EQ(0u, resolved.Count());

    ASSERT_EQ(2, Dnssd().ReconfirmCount());
    ZanviDnssdReconfirm r = {};
    ASSERT_EQ(0, Dnssd().GetReconfirm(1, &r));
    EXPECT_EQ(static_cast<uint32_t>(kDNSServiceFlagsAdd), r.flags);
    EXPECT_EQ(5u, r.interfaceIndex);
    EXPECT_STREQ("GONE._zeb_vci._tcp.local", r.fullname);
    EXPECT_EQ(16, r.rrtype);
    EXPECT_EQ(1, r.rrclass);
    ASSERT_EQ(9, r.rdlen);
    EXPECT_EQ(0, memcmp(rdata, r.rdata, 9));
    EXPECT_EQ(-1, Dnssd().GetReconfirm(2, &r));
}

TEST_F(DnssdTest, SilentInstanceThatAnnouncesItselfAfterItsCheckIsBack)
{
    Load("flush-delay 300\n"
         "instance BACK _zeb_vci._tcp local.\n  interfaces 2\n  flush-on-reconfirm\n");
    CAnswers answers;
    CRef browse;
    ASSERT_EQ(0, Dnssd().Browse(&browse, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    ASSERT_TRUE(answers.PumpUntil(browse.Get(), 1));
    const char rdata[] = "\x08" "eth=true";
    // Announced again while its check runs, and checked once more later: never flushed.
    for (int check = 0; check < 2; ++check) {
        ASSERT_EQ(0, Dnssd().ReconfirmRecord(kDNSServiceFlagsAdd, 2, "BACK._zeb_vci._tcp.local",
                         16, 1, 9, rdata));
        if (check == 0) {
            ASSERT_EQ(0, Dnssd().AddInstance("BACK", "_zeb_vci._tcp", "local.", 2, nullptr, 0,
                             nullptr));
        }
        EXPECT_FALSE(answers.PumpUntil(browse.Get(), 2, 600)) << check;
    }
    EXPECT_EQ((std::vector<std::string>{"+BACK@2"}), BrowseEvents(answers));
}

TEST_F(DnssdTest, WithdrawnInstanceSaysGoodbyeToBrowsesOnlyAndStaysCached)
{
    Load("goodbye-delay 300\n"
         "instance GONE _zeb_vci._tcp local.\n  interfaces 3 7\n  txt \"eth=true\"\n"
         "  host gone.local.\n  port 58713\n  address 10.0.0.7\n"
         "instance BACK _zeb_vci._tcp local.\n  interfaces 3\n");
    CAnswers browse;
    CAnswers txt;
    CRef browseRef;
    CRef queryRef;
    ASSERT_EQ(0, Dnssd().Browse(&browseRef, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &browse));
    ASSERT_EQ(0, Dnssd().QueryRecord(&queryRef, 0x9100, 0, "GONE._zeb_vci._tcp.local", 16, 1,
                     CAnswers::OnQuery, &txt));
    ASSERT_TRUE(browse.PumpUntil(browseRef.Get(), 3));
    ASSERT_TRUE(txt.PumpUntil(queryRef.Get(), 2));

    const DWORD start = GetTickCount();
    ASSERT_EQ(0, Dnssd().RemoveInstance("GONE", "_zeb_vci._tcp", nullptr, 0));
    // Back before its goodbye took effect: browses see nothing of it.
    ASSERT_EQ(0, Dnssd().RemoveInstance("BACK", "_zeb_vci._tcp", nullptr, 3));
    ASSERT_EQ(0, Dnssd().AddInstance("BACK", "_zeb_vci._tcp", nullptr, 3, nullptr, 0, nullptr));
    ASSERT_TRUE(browse.PumpUntil(browseRef.Get(), 5));
    EXPECT_GE(GetTickCount() - start, 250u);
    browse.PumpUntil(browseRef.Get(), 6, 500);
    EXPECT_EQ((std::vector<std::string>{"+GONE@3", "+GONE@7", "+BACK@3", "-GONE@3", "-GONE@7"}),
        BrowseEvents(browse));
    txt.PumpUntil(queryRef.Get(), 3, 100);
    EXPECT_EQ(2u, txt.Count()) << "the TXT record stays cached";

    // New questions still answer from the cache, each on the interface it came from.
    CAnswers later;
    CRef resolve;
    CRef query;
    CRef lookup;
    ASSERT_EQ(0, Dnssd().Resolve(&resolve, 0, 0, "GONE", "_zeb_vci._tcp", "local.",
                     CAnswers::OnResolve, &later));
    ASSERT_TRUE(later.PumpUntil(resolve.Get(), 2));
    ASSERT_EQ(0, Dnssd().QueryRecord(&query, 0x9100, 0, "GONE._zeb_vci._tcp.local", 16, 1,
                     CAnswers::OnQuery, &later));
    ASSERT_TRUE(later.PumpUntil(query.Get(), 4));
    ASSERT_EQ(0, Dnssd().GetAddrInfo(&lookup, 0x1000, 0, kDNSServiceProtocol_IPv4, "gone.local.",
                     CAnswers::OnAddrInfo, &later));
    ASSERT_TRUE(later.PumpUntil(lookup.Get(), 6));
    std::vector<std::string> cached;
    for (const Answer& a : later.Get())
        cached.push_back(std::to_string(a.interfaceIndex) + " " + a.host +
                         a.data.substr(a.data.empty() ? 0 : 1) + a.address);
    EXPECT_EQ((std::vector<std::string>{"3 gone.local.eth=true", "7 gone.local.eth=true",
                  "3 eth=true", "7 eth=true", "3 10.0.0.7", "7 10.0.0.7"}),
        cached);
}
