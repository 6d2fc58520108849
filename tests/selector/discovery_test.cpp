// VCI discovery against the dnssd stand-in: the library is loaded from the test program's
// folder, the worker threads run for real, and the tests play the dialog's timer tick.
#include "discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "acp_text.h"
#include "child_process.h"
#include "debug_capture.h"
#include "dnssd_steering.h"
#include "selector_fixtures.h"
#include "test_files.h"

namespace {

const char kType[] = "_zeb_vci._tcp";
const char kSuffix[] = "._zeb_vci._tcp.local";
const DWORD kWaitMs = 5000;

std::vector<std::string> Table(const char (*names)[kVciNameBytes], uint32_t count)
{
    return std::vector<std::string>(names, names + count);
}

std::vector<std::string> Listed()
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    return Table(g_VciNames, g_VciCount);
}

std::vector<std::string> Pending()
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    return Table(g_PendingNames, static_cast<uint32_t>(g_PendingCount));
}

std::vector<std::string> Waiting()
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    return std::vector<std::string>(g_Waiting.begin(), g_Waiting.end());
}

std::vector<int> LinksOf(const VciLinks& links)
{
    return {links.usb, links.wifi, links.eth};
}

std::vector<int> ListedLinks(const std::string& name)
{
    std::lock_guard<CMutex> lock(g_TablesLock);
    for (uint32_t i = 0; i < g_VciCount; ++i)
        if (name == g_VciNames[i]) return LinksOf(g_VciLinks[i]);
    return {};
}

// Polls until the condition holds or ms pass.
bool WaitFor(const std::function<bool()>& condition, DWORD ms = kWaitMs)
{
    for (DWORD start = GetTickCount(); !condition();) {
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
    return true;
}

template <typename Fn>
void Bind(HMODULE module, Fn& fn, const char* name)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDiscoveryState(kType);
        // Our own reference keeps the stand-in and its network alive across ReleaseDnssd.
        m_sim = LoadLibraryW((TestDir() + L"\\dnssd.dll").c_str());
        ASSERT_NE(m_sim, nullptr);
        Bind(m_sim, m_load, "ZanviDnssdLoadScenario");
        Bind(m_sim, m_lastError, "ZanviDnssdLastError");
        Bind(m_sim, m_reset, "ZanviDnssdReset");
        Bind(m_sim, m_add, "ZanviDnssdAddInstance");
        Bind(m_sim, m_remove, "ZanviDnssdRemoveInstance");
        Bind(m_sim, m_inject, "ZanviDnssdInjectError");
        Bind(m_sim, m_reconfirmCount, "ZanviDnssdReconfirmCount");
        Bind(m_sim, m_getReconfirm, "ZanviDnssdGetReconfirm");
        Bind(m_sim, m_openReferences, "ZanviDnssdOpenReferences");
        ASSERT_TRUE(m_load && m_lastError && m_reset && m_add && m_remove && m_inject &&
                    m_reconfirmCount && m_getReconfirm && m_openReferences);
        m_reset();
        ASSERT_TRUE(LoadDnssd());
        EXPECT_TRUE(m_boxes.Boxes().empty());
    }

    void TearDown() override
    {
        StopDiscovery();
        ReleaseDnssd();
        EXPECT_EQ(g_hDnssd, nullptr) << "a worker thread did not end";
        EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
        m_reset();
        FreeLibrary(m_sim);
    }

    void Load(const std::string& scenario)
    {
        std::wstring file = m_dir.File(L"scenario.txt");
        ASSERT_TRUE(WriteWholeFile(file, scenario));
        char error[512] = {};
        int result = m_load(Narrow(file).c_str());
        m_lastError(error, sizeof(error));
        ASSERT_EQ(result, 0) << error;
    }

    // One timer tick as the dialog runs it; answers what SnapshotChanged answered.
    static bool Tick()
    {
        bool changed = SnapshotChanged();
        ScheduleTxtQuery(kSuffix);
        return changed;
    }
    static bool WaitAnswered()
    {
        return WaitFor([] { return !QueryActive(); });
    }
    static bool WaitListed(uint32_t count)
    {
        return WaitFor([count] { return Listed().size() == count; });
    }
    // Ticks and answers until every listed instance has been asked for once.
    static void QueryAll()
    {
        while (!Pending().empty()) {
            Tick();
            ASSERT_TRUE(WaitAnswered());
        }
    }

    TempDir m_dir;
    MessageBoxRecorder m_boxes;
    HMODULE m_sim = nullptr;
    PFN_ZanviDnssdLoadScenario m_load = nullptr;
    PFN_ZanviDnssdLastError m_lastError = nullptr;
    PFN_ZanviDnssdReset m_reset = nullptr;
    PFN_ZanviDnssdAddInstance m_add = nullptr;
    PFN_ZanviDnssdRemoveInstance m_remove = nullptr;
    PFN_ZanviDnssdInjectError m_inject = nullptr;
    PFN_ZanviDnssdReconfirmCount m_reconfirmCount = nullptr;
    PFN_ZanviDnssdGetReconfirm m_getReconfirm = nullptr;
    PFN_ZanviDnssdOpenReferences m_openReferences = nullptr;
};

TEST_F(DiscoveryTest, InstanceOnTwoInterfacesIsListedAtOnceAndGetsItsLinksFromItsTxtReply)
{
    Load("instance DEMO-01 _zeb_vci._tcp\n"
         "  interfaces 1 2\n"
         "  txt \"usb=true\" \"wifi=true\" \"eth=false\"\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    Sleep(400);  // one more pass of the browse thread: the second interface's add is in
    EXPECT_EQ(Listed(), std::vector<std::string>{"DEMO-01"});
    EXPECT_EQ(Pending(), std::vector<std::string>{"DEMO-01"});

    EXPECT_TRUE(Tick());
    EXPECT_EQ(g_ShownCount, 1u);
    EXPECT_STREQ(g_ShownNames[0], "DEMO-01");
    EXPECT_EQ(LinksOf(g_ShownLinks[0]), (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(QueryActive());
    EXPECT_TRUE(Pending().empty());

    ASSERT_TRUE(WaitAnswered());
    EXPECT_TRUE(Tick());
    EXPECT_EQ(LinksOf(g_ShownLinks[0]), (std::vector<int>{1, 1, 0}));
    EXPECT_FALSE(Tick());

    // The TXT reply was handed back for reconfirmation exactly as delivered.
    ASSERT_GE(m_reconfirmCount(), 1);
    ZanviDnssdReconfirm reconfirm = {};
    ASSERT_EQ(m_getReconfirm(0, &reconfirm), 0);
    EXPECT_TRUE(reconfirm.flags & kDNSServiceFlagsAdd);
    EXPECT_EQ(std::string(reconfirm.fullname).rfind("DEMO-01._zeb_vci._tcp.local", 0), 0u);
    EXPECT_EQ(reconfirm.rrtype, kDNSServiceType_TXT);
    EXPECT_EQ(reconfirm.rrclass, kDNSServiceClass_IN);
    EXPECT_EQ(reconfirm.rdlen, 9 + 10 + 10);
}

TEST_F(DiscoveryTest, RemovalReportedForEitherInterfaceRemovesTheEntry)
{
    Load("instance DEMO-01 _zeb_vci._tcp\n  interfaces 1 2\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    ASSERT_EQ(m_remove("DEMO-01", kType, "local.", 2), 0);
    ASSERT_TRUE(WaitListed(0));
    EXPECT_TRUE(Pending().empty());
}

TEST_F(DiscoveryTest, ReannouncedInstanceIsNotQueuedAgain)
{
    Load("instance DEMO-01 _zeb_vci._tcp\n  txt \"usb=true\"\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    QueryAll();
    ASSERT_EQ(m_add("DEMO-01", kType, "local.", 3, nullptr, 0, nullptr), 0);
    // Replies arrive in order: once the later instance is listed, the re-announcement was seen.
    ASSERT_EQ(m_add("LAB-07", kType, "local.", 1, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(WaitListed(2));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"DEMO-01", "LAB-07"}));
    EXPECT_EQ(Pending(), std::vector<std::string>{"LAB-07"});
    EXPECT_EQ(ListedLinks("DEMO-01"), (std::vector<int>{1, 0, 0}));
}

TEST_F(DiscoveryTest, RemovingTheMiddleOfThreeKeepsOrderAndLinks)
{
    Load("instance A-1 _zeb_vci._tcp\n  txt \"usb=true\"\n"
         "instance B-2 _zeb_vci._tcp\n  txt \"wifi=true\"\n"
         "instance C-3 _zeb_vci._tcp\n  txt \"eth=true\"\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(3));
    ASSERT_EQ(Listed(), (std::vector<std::string>{"A-1", "B-2", "C-3"}));
    QueryAll();
    ASSERT_EQ(ListedLinks("B-2"), (std::vector<int>{0, 1, 0}));
    Tick();

    ASSERT_EQ(m_remove("B-2", kType, "local.", 0), 0);
    ASSERT_TRUE(WaitListed(2));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"A-1", "C-3"}));
    EXPECT_EQ(ListedLinks("A-1"), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(ListedLinks("C-3"), (std::vector<int>{0, 0, 1}));
    EXPECT_TRUE(Tick());
    EXPECT_EQ(g_ShownCount, 2u);
    EXPECT_STREQ(g_ShownNames[1], "C-3");
    EXPECT_EQ(LinksOf(g_ShownLinks[1]), (std::vector<int>{0, 0, 1}));
}

TEST_F(DiscoveryTest, AnsweredInstanceIsAskedForAgainEveryElevenTicks)
{
    Load("instance DEMO-01 _zeb_vci._tcp\n  txt \"usb=true\"\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    for (int round = 0; round < 2; ++round) {
        int ticks = 0;
        do {
            Tick();
            ++ticks;
        } while (!QueryActive() && ticks < 30);
        if (round > 0) {
            EXPECT_EQ(ticks, 11);
        }
        ASSERT_TRUE(WaitAnswered());
    }
    EXPECT_EQ(m_reconfirmCount(), 2);
}

TEST_F(DiscoveryTest, InstancesBeyondTheTwentiethWaitForAFreeSlotInArrivalOrder)
{
    std::string scenario;
    std::vector<std::string> names;
    for (int i = 1; i <= 25; ++i) {
        names.push_back("VCI-" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        scenario += "instance " + names.back() + " _zeb_vci._tcp\n";
    }
    Load(scenario);
    StartBrowse();
    ASSERT_TRUE(WaitFor([] { return Waiting().size() == 5; }));
    EXPECT_EQ(Listed(), std::vector<std::string>(names.begin(), names.begin() + 20));
    EXPECT_EQ(Pending(), Listed());
    EXPECT_EQ(Waiting(), std::vector<std::string>(names.begin() + 20, names.end()));
    EXPECT_TRUE(Tick());
    EXPECT_EQ(g_ShownCount, 20u);

    // Five leave, one of them still waiting: the other waiting ones take the freed slots.
    for (const char* name : {"VCI-05", "VCI-22", "VCI-01", "VCI-20", "VCI-13"})
        ASSERT_EQ(m_remove(name, kType, "local.", 0), 0);
    std::vector<std::string> expected;
    for (const std::string& name : names)
        if (name != "VCI-01" && name != "VCI-05" && name != "VCI-13" && name != "VCI-20" &&
            name != "VCI-22")
            expected.push_back(name);
    EXPECT_TRUE(WaitFor([&] { return Listed() == expected; })) << Listed().size();
    EXPECT_TRUE(Waiting().empty());
    const std::vector<std::string> pending = Pending();
    ASSERT_EQ(pending.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(pending.end() - 4, pending.end()),
              (std::vector<std::string>{"VCI-21", "VCI-23", "VCI-24", "VCI-25"}));
    EXPECT_TRUE(Tick());
    EXPECT_EQ(g_ShownCount, 20u);
}

// Removals and announcements that cross, on a network whose silent VCIs are flushed 4 s
// after the selector's reconfirm (the daemon's check takes that long): once the network is
// quiet and every listed name has been asked for again, the rows are the announced VCIs.
TEST_F(DiscoveryTest, CrossingRemovalsAndAnnouncementsLoseNoVci)
{
    const std::string kNetwork =
        "flush-delay 4000\n"
        "instance SILENT-1 _zeb_vci._tcp\n  txt \"usb=true\"\n  flush-on-reconfirm\n";
    auto add = [&](const std::string& name) {
        ASSERT_EQ(m_add(name.c_str(), kType, "local.", 1, nullptr, 0, nullptr), 0) << name;
    };
    auto remove = [&](const std::string& name) {
        ASSERT_EQ(m_remove(name.c_str(), kType, "local.", 0), 0) << name;
    };
    auto numbered = [](int from, int to, int digits) {
        std::vector<std::string> names;
        for (int i = from; i <= to; ++i) {
            std::string number = std::to_string(i);
            names.push_back("VCI-" + std::string(digits - number.size(), '0') + number);
        }
        return names;
    };
    auto instances = [&](const std::vector<std::string>& names, const char* attributes) {
        std::string text;
        for (const std::string& name : names)
            text += "instance " + name + " _zeb_vci._tcp\n" + attributes;
        return text;
    };
    auto plus = [](std::vector<std::string> names, std::vector<std::string> more) {
        names.insert(names.end(), more.begin(), more.end());
        return names;
    };
    std::vector<std::string> twenty = numbered(1, 20, 2);
    std::vector<std::string> nineteenLeft = twenty;
    nineteenLeft.erase(nineteenLeft.begin() + 4);  // VCI-05 leaves last

    struct Case {
        const char* what;
        std::string network;
        std::function<void()> steps;
        std::vector<std::string> announced;
    };
    const Case cases[] = {
        {"flushed after its check, then announced again",
         kNetwork + "instance DEMO-02 _zeb_vci._tcp\n",
         [&] {
             ASSERT_TRUE(WaitListed(2));
             QueryAll();
             ASSERT_TRUE(WaitFor([] { return Listed() == std::vector<std::string>{"DEMO-02"}; },
                                 8000));
             add("SILENT-1");
             ASSERT_TRUE(WaitListed(2));
         },
         {"DEMO-02", "SILENT-1"}},
        {"withdrawn and announced again within the goodbye delay while its check runs",
         kNetwork + "instance DEMO-02 _zeb_vci._tcp\n",
         [&] {
             ASSERT_TRUE(WaitListed(2));
             QueryAll();
             remove("SILENT-1");
             Sleep(300);
             add("SILENT-1");
         },
         {"SILENT-1", "DEMO-02"}},
        {"removed and announced again while it waits for its TXT question",
         kNetwork + "instance A.B _zeb_vci._tcp\n",  // nobody answers A.B's TXT question
         [&] {
             ASSERT_TRUE(WaitListed(2));
             Tick();
             ASSERT_TRUE(WaitAnswered());  // SILENT-1's check begins
             Tick();                       // A.B's unanswered question holds the queue
             remove("SILENT-1");
             ASSERT_TRUE(WaitListed(1));
             add("SILENT-1");
             ASSERT_TRUE(WaitListed(2));
             EXPECT_EQ(Pending(), std::vector<std::string>{"SILENT-1"});
         },
         {"SILENT-1", "A.B"}},
        {"removed while it waits beyond the twentieth, announced again",
         kNetwork + instances(twenty, "  hidden\n"),
         [&] {
             ASSERT_TRUE(WaitListed(1));
             Tick();
             ASSERT_TRUE(WaitAnswered());  // SILENT-1's check begins
             for (int i = 0; i < 19; ++i) add(twenty[i]);
             ASSERT_TRUE(WaitListed(20));
             remove("SILENT-1");
             ASSERT_TRUE(WaitListed(19));
             add(twenty[19]);
             add("SILENT-1");
             ASSERT_TRUE(WaitFor([] { return Waiting() == std::vector<std::string>{"SILENT-1"}; }));
             remove("SILENT-1");
             ASSERT_TRUE(WaitFor([] { return Waiting().empty(); }));
             add("SILENT-1");
             ASSERT_TRUE(WaitFor([] { return Waiting().size() == 1; }));
             remove("VCI-05");
         },
         plus(nineteenLeft, {"SILENT-1"})},
        {"more waiting at once than a fixed list of a hundred holds",
         instances(numbered(1, 130, 3), ""),
         [&] {
             ASSERT_TRUE(WaitFor([] { return Listed().size() + Waiting().size() == 130; }));
             for (const std::string& name : numbered(1, 115, 3)) remove(name);
         },
         numbered(116, 130, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetDiscoveryState(kType);
        ASSERT_TRUE(LoadDnssd());
        Load(c.network);
        StartBrowse();
        c.steps();
        if (HasFatalFailure()) return;
        // Quiet from here: every announced name is asked for again (a name with a dot is never
        // answered, so never reconfirmed), then the 4 s checks run out.
        const int mark = m_reconfirmCount();
        auto askedAgain = [&] {
            for (const std::string& name : c.announced) {
                bool asked = name.find('.') != std::string::npos;
                for (int i = mark; i < m_reconfirmCount() && !asked; ++i) {
                    ZanviDnssdReconfirm r = {};
                    asked = m_getReconfirm(i, &r) == 0 &&
                            std::string(r.fullname).rfind(name + ".", 0) == 0;
                }
                if (!asked) return false;
            }
            return true;
        };
        EXPECT_TRUE(WaitFor([&] { Tick(); Sleep(100); return askedAgain(); }, 30000));
        for (DWORD start = GetTickCount(); GetTickCount() - start < 4500;) {
            Tick();
            Sleep(100);
        }
        std::vector<std::string> listed = Listed();
        std::vector<std::string> announced = c.announced;
        std::sort(listed.begin(), listed.end());
        std::sort(announced.begin(), announced.end());
        EXPECT_EQ(listed, announced);
        EXPECT_TRUE(Waiting().empty());
        StopDiscovery();
        ReleaseDnssd();
        ASSERT_EQ(g_hDnssd, nullptr);
        ASSERT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
    }
}

TEST_F(DiscoveryTest, BrowseFailuresStopAllDiscovery)
{
    struct Case {
        const char* fault;
        const wchar_t* log;  // null: nothing logged
    };
    const Case cases[] = {
        {"fail browse -65537\n", L"D:DNSServiceBrowse call failed -65537"},
        {"process-error browse -65563\n", nullptr},
    };
    for (const Case& c : cases) {
        ResetDiscoveryState(kType);
        Load(std::string("instance DEMO-01 _zeb_vci._tcp\n") + c.fault);
        DebugOutputCapture capture;
        StartBrowse();
        EXPECT_TRUE(WaitFor([] { return g_StopThreads.load() == 1; })) << c.fault;
        EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 0; })) << c.fault;
        std::vector<std::wstring> expected;
        if (c.log) expected.push_back(c.log);
        EXPECT_EQ(capture.Messages(), expected) << c.fault;
        ReleaseDnssd();
        ASSERT_TRUE(LoadDnssd());
    }
}

TEST_F(DiscoveryTest, BrowseFailureAlsoEndsTheQueryThread)
{
    // The query for a name with a dot in it is never answered.
    Load("instance A.B _zeb_vci._tcp\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    Tick();
    ASSERT_TRUE(QueryActive());
    ASSERT_TRUE(WaitFor([&] { return m_openReferences() == 2; }));

    ASSERT_EQ(m_inject("browse", "process-error", -65537, 1), 0);
    EXPECT_TRUE(WaitFor([] { return g_StopThreads.load() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
    EXPECT_TRUE(QueryActive()) << "the query was never answered";
}

TEST_F(DiscoveryTest, UnansweredTxtQueryIsEndedAfterEightTicksAndAskedAgainInTheNextPass)
{
    // Nobody answers the TXT question for a name with a dot in it.
    Load("instance A.B _zeb_vci._tcp\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    Tick();
    ASSERT_NE(g_QueryRef.load(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return m_openReferences() == 2; }));
    for (int waited = 1; waited < kTxtQueryTicks; ++waited) {
        Tick();
        ASSERT_TRUE(QueryActive()) << waited;
    }
    Tick();
    EXPECT_FALSE(QueryActive());
    EXPECT_EQ(g_QueryRef.load(), nullptr);
    // Its thread ends and deallocates the reference; the browse's stays.
    EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 1; }));

    // The re-queueing keeps its cadence: the name is asked again 11 ticks after the first time.
    int ticks = 1 + kTxtQueryTicks;
    while (!QueryActive() && ticks < 40) {
        Tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 12);
    EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 2; }));
}

TEST_F(DiscoveryTest, UnansweredTxtQueryStallsNeitherLinksNorReconfirmNorRemoval)
{
    Load("instance A.B _zeb_vci._tcp\n"  // its TXT question is never answered
         "instance DEMO-01 _zeb_vci._tcp\n  txt \"usb=true\"\n"
         "instance SILENT-9 _zeb_vci._tcp\n  txt \"wifi=true\"\n  flush-on-reconfirm\n"
         "instance LATE-03 _zeb_vci._tcp\n  hidden\n  txt \"eth=true\"\n"
         "at 1500 add LATE-03 _zeb_vci._tcp local.\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(3));
    auto demoReconfirms = [&] {
        int count = 0;
        for (int i = 0; i < m_reconfirmCount(); ++i) {
            ZanviDnssdReconfirm r = {};
            if (m_getReconfirm(i, &r) == 0 && std::string(r.fullname).rfind("DEMO-01.", 0) == 0)
                ++count;
        }
        return count;
    };
    // The dialog's timer: a tick every 250 ms.
    EXPECT_TRUE(WaitFor(
        [&] {
            Tick();
            Sleep(240);
            return Listed() == std::vector<std::string>{"A.B", "DEMO-01", "LATE-03"} &&
                   ListedLinks("LATE-03") == std::vector<int>{0, 0, 1} && demoReconfirms() >= 2;
        },
        40000));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"A.B", "DEMO-01", "LATE-03"}))
        << "the silent VCI is removed after its reconfirm";
    EXPECT_EQ(ListedLinks("A.B"), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(ListedLinks("DEMO-01"), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(ListedLinks("LATE-03"), (std::vector<int>{0, 0, 1}));
    EXPECT_GE(demoReconfirms(), 2) << "the names are asked for again";
}

TEST_F(DiscoveryTest, FailingQueryStopsAllDiscovery)
{
    Load("instance DEMO-01 _zeb_vci._tcp\nfail query -65537\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    DebugOutputCapture capture;
    Tick();
    EXPECT_EQ(capture.Messages(), std::vector<std::wstring>{L"D:DNSService call failed -65537"});
    EXPECT_TRUE(WaitFor([] { return g_StopThreads.load() == 1; }));
    EXPECT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
}

TEST_F(DiscoveryTest, AfterAStopALaterQueryEndsWithoutAReply)
{
    Load("instance DEMO-01 _zeb_vci._tcp\n  txt \"usb=true\"\n");
    StartBrowse();
    ASSERT_TRUE(WaitListed(1));
    StopDiscovery();
    ASSERT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
    Tick();
    EXPECT_TRUE(QueryActive());
    ASSERT_TRUE(WaitFor([&] { return m_openReferences() == 0; }));
    Sleep(400);
    EXPECT_TRUE(QueryActive());
    EXPECT_EQ(ListedLinks("DEMO-01"), (std::vector<int>{0, 0, 0}));
}

// The TXT scan and the query's end, on the tables alone.
class TxtReplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDiscoveryState(kType);
        for (const char* name : {"DEMO-01", "A.B"}) {
            CopyCut(g_VciNames[g_VciCount], name);
            ++g_VciCount;
        }
    }
    void TearDown() override { ResetDiscoveryState(kType); }
};

TEST_F(TxtReplyTest, LinkFlagsFollowTheRecordBytes)
{
    struct Case {
        std::string data;
        std::vector<int> before;
        std::vector<int> after;
    };
    const Case cases[] = {
        {"\x08usb=true\x0awifi=false\x08" "eth=true", {0, 0, 0}, {1, 0, 1}},
        {"\x08usb=true", {0, 1, 0}, {1, 1, 0}},                            // no wifi key
        {std::string("\x08usb=true\x00\x09wifi=true", 19), {0, 0, 0}, {1, 0, 0}},  // "" ends it
        {"\x08usb=true\x09usb=false", {0, 0, 0}, {0, 0, 0}},              // later one wins
        {"\x08usb:true\x09" "eth#tiny", {0, 0, 0}, {1, 0, 1}},            // any separator
        {"\x08USB=true", {0, 0, 0}, {0, 0, 0}},                           // with case
        {"\x04usb=", {1, 0, 0}, {0, 0, 0}},                               // no value byte
        {"\x03usb", {1, 0, 0}, {0, 0, 0}},
        {"\x02us", {1, 0, 0}, {1, 0, 0}},                                 // key cut short
        {"", {1, 1, 1}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        g_VciLinks[0] = VciLinks{c.before[0], c.before[1], c.before[2]};
        ParseLinkFlags("DEMO-01._zeb_vci._tcp.local.",
                       reinterpret_cast<const unsigned char*>(c.data.data()),
                       static_cast<uint16_t>(c.data.size()));
        EXPECT_EQ(LinksOf(g_VciLinks[0]), c.after) << c.data;
    }
}

TEST_F(TxtReplyTest, NamesAreMatchedUpToTheFirstDot)
{
    const std::string data = "\x08usb=true";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.data());
    for (const char* fullName : {"A.B._zeb_vci._tcp.local.", "A\\.B._zeb_vci._tcp.local.",
                                 "demo-01._zeb_vci._tcp.local.", "UNKNOWN._zeb_vci._tcp.local."}) {
        ParseLinkFlags(fullName, bytes, static_cast<uint16_t>(data.size()));
        EXPECT_EQ(LinksOf(g_VciLinks[0]), (std::vector<int>{0, 0, 0})) << fullName;
        EXPECT_EQ(LinksOf(g_VciLinks[1]), (std::vector<int>{0, 0, 0})) << fullName;
    }
    ParseLinkFlags("DEMO-01", bytes, static_cast<uint16_t>(data.size()));
    EXPECT_EQ(LinksOf(g_VciLinks[0]), (std::vector<int>{1, 0, 0}));
}

TEST_F(TxtReplyTest, OnlyAReplyOfTheCurrentQueryEndsIt)
{
    const std::string data = "\x08usb=true";
    // Two references: only their values count.
    char older = 0, current = 0;
    const DNSServiceRef olderRef = reinterpret_cast<DNSServiceRef>(&older);
    const DNSServiceRef currentRef = reinterpret_cast<DNSServiceRef>(&current);
    struct Case {
        const char* fullName;
        DNSServiceRef from;
        DNSServiceErrorType error;
        int usb;
        int active;  // the query still active afterwards
    };
    const Case cases[] = {
        // A late reply of a query that was ended meanwhile: its data counts, the newer
        // query goes on.
        {"DEMO-01._zeb_vci._tcp.local.", olderRef, 0, 1, 1},
        {"GONE-9._zeb_vci._tcp.local.", currentRef, 0, 0, 0},  // removed since it started
        {"DEMO-01._zeb_vci._tcp.local.", currentRef, kDNSServiceErr_NoSuchRecord, 0, 0},
        {"DEMO-01._zeb_vci._tcp.local.", currentRef, 0, 1, 0},
    };
    for (const Case& c : cases) {
        g_VciLinks[0] = VciLinks{0, 0, 0};
        g_QueryRef = currentRef;
        QueryTxtReply(c.from, 0, 1, c.error, c.fullName, kDNSServiceType_TXT, kDNSServiceClass_IN,
                      static_cast<uint16_t>(data.size()), data.data(), 120, nullptr);
        EXPECT_EQ(QueryActive(), c.active != 0) << c.fullName;
        EXPECT_EQ(g_QueryRef.load(), c.active ? currentRef : nullptr) << c.fullName;
        EXPECT_EQ(g_VciLinks[0].usb, c.usb) << c.fullName;
        EXPECT_EQ(g_VciCount, 2u);
    }
    g_QueryRef = nullptr;
}

// LoadDnssd in a probe copied into a folder of its own.
class LoadDnssdTest : public ::testing::Test {
protected:
    std::vector<std::string> RunProbe()
    {
        ChildProcess probe(L"\"" + m_dir.File(L"selector_probe.exe") + L"\" load-dnssd \"" +
                           m_dir.File(L"result.txt") + L"\"");
        EXPECT_TRUE(probe.Started());
        if (!probe.Started()) return {};
        EXPECT_TRUE(probe.Ended(20000));
        std::vector<std::string> lines;
        std::string text = ReadWholeFile(m_dir.File(L"result.txt"));
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    TempDir m_dir;
};

TEST_F(LoadDnssdTest, MissingLibraryIsToldInTwoBoxesWithThePathTried)
{
    ASSERT_TRUE(CopyInto(TestDir() + L"\\selector_probe.exe", m_dir.Path()));
    const std::string path = Narrow(m_dir.File(L"dnssd.dll"));
    const std::string type = std::to_string(MB_OK | MB_HELP);
    EXPECT_EQ(RunProbe(), (std::vector<std::string>{type + " |DLL dnssd did not load",
                                                    type + " |" + path, "loaded 0"}));
}

TEST_F(LoadDnssdTest, LibraryWithoutTheCallsIsRefusedLikeAMissingOne)
{
    ASSERT_TRUE(CopyInto(TestDir() + L"\\selector_probe.exe", m_dir.Path()));
    // Any module that loads but does not offer the DNS-SD calls.
    ASSERT_TRUE(CopyFileW((TestDir() + L"\\selector_probe.exe").c_str(),
                          m_dir.File(L"dnssd.dll").c_str(), FALSE));
    auto lines = RunProbe();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::to_string(MB_OK | MB_HELP) + " |DLL dnssd did not load");
    EXPECT_EQ(lines[2], "loaded 0");
}

TEST_F(LoadDnssdTest, LibraryBesideTheProgramLoadsQuietly)
{
    ASSERT_TRUE(CopyInto(TestDir() + L"\\selector_probe.exe", m_dir.Path()));
    ASSERT_TRUE(CopyInto(TestDir() + L"\\dnssd.dll", m_dir.Path()));
    EXPECT_EQ(RunProbe(), std::vector<std::string>{"loaded 1"});
}

}  // namespace
