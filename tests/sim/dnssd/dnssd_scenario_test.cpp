// Scenario files, error answers and steering of a running simulation, also from another process.
#include "dnssd_fixture.h"
#include "steering_pipe_client.h"
#include "test_files.h"

TEST_F(DnssdTest, MalformedScenarioIsRefusedNamingFileAndLine)
{
    struct Case {
        const char* text;
        const char* expected;  // after "<path>:"
    } cases[] = {
        {"instance V _zeb_vci._tcp\nport 70000\n", "2: port out of range: 70000"},
        {"# comment\n\ntxt \"usb=true\"\n", "3: 'txt' before any 'instance' line"},
        {"instance V _zeb_vci._tcp\n  colour blue\n", "2: unknown keyword 'colour'"},
        {"instance V _zeb_vci._tcp\n  txt \"usb=true\n", "2: unterminated quoted word"},
        {"instance V _zeb_vci._tcp\n  txt-hex 0a1\n", "2: odd number of hex digits"},
        {"instance V _zeb_vci._tcp\n  address 10.0.0\n", "2: not an IPv4 address: '10.0.0'"},
        {"instance V _zeb_vci._tcp\ninstance v _ZEB_VCI._tcp local\n",
            "2: instance 'v' defined twice"},
        {"at 10 add W _zeb_vci._tcp local.\n",
            "1: no instance 'W' of type _zeb_vci._tcp in local. defined above"},
        {"fail reconnect -65537\n", "1: unknown call 'reconnect'"},
        {"reply-error reconfirm -65537\n", "1: a reconfirm has no reference"},
        {"fail browse x\n", "1: error code must be a signed number: 'x'"},
        {"interfaces\n", "1: 'interfaces' before any 'instance' line"},
        {"negative-replies yes\n", "1: usage: negative-replies"},
        {"goodbye-delay\n", "1: usage: reply-delay|flush-delay|negative-delay|goodbye-delay"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TempDir dir;
        std::string path = Narrow(dir.File(L"bad.txt"));
        ASSERT_TRUE(WriteWholeFile(dir.File(L"bad.txt"), c.text));
        EXPECT_EQ(-1, Dnssd().LoadScenario(path.c_str()));
        std::string error = Dnssd().LastErrorText();
        EXPECT_EQ(path + ":", error.substr(0, path.size() + 1));
        EXPECT_EQ(c.expected, error.substr(path.size() + 1, strlen(c.expected)));
    }
    EXPECT_EQ(-1, Dnssd().LoadScenario("Z:\\no\\such\\scenario.txt"));
    EXPECT_NE(std::string::npos,
        Dnssd().LastErrorText().find("Z:\\no\\such\\scenario.txt: cannot open"));
}

TEST_F(DnssdTest, RefusedScenarioKeepsTheRunningOne)
{
    Load("instance V _zeb_vci._tcp local.\n");
    EXPECT_NE("", LoadScenarioText("bogus\n"));
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    EXPECT_TRUE(answers.PumpUntil(ref.Get(), 1));
}

TEST_F(DnssdTest, ScriptedErrorsFailCallsRepliesAndProcessing)
{
    Load("instance V _zeb_vci._tcp local.\n"
         "fail browse -65563\n"
         "reply-error query -65537\n"
         "process-error resolve -65563 times 2\n");
    CAnswers answers;
    CRef failed;
    EXPECT_EQ(kDNSServiceErr_ServiceNotRunning,
        Dnssd().Browse(&failed, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse, &answers));
    EXPECT_EQ(nullptr, failed.Get());

    CRef query;
    ASSERT_EQ(0, Dnssd().QueryRecord(&query, 0, 0, "V._zeb_vci._tcp.local", 16, 1,
                     CAnswers::OnQuery, &answers));
    ASSERT_TRUE(answers.PumpUntil(query.Get(), 1));
    EXPECT_EQ(kDNSServiceErr_Unknown, answers.Get()[0].error);
    EXPECT_EQ(0u, answers.Get()[0].flags);
    answers.PumpUntil(query.Get(), 2, 100);
    EXPECT_EQ(1u, answers.Count());  // nothing follows an error reply

    CRef resolve;
    ASSERT_EQ(0, Dnssd().Resolve(&resolve, 0, 0, "V", "_zeb_vci._tcp", "local",
                     CAnswers::OnResolve, &answers));
    ASSERT_TRUE(Dnssd().WaitReadable(resolve.Get(), 2000));
    EXPECT_EQ(kDNSServiceErr_ServiceNotRunning, Dnssd().ProcessResult(resolve.Get()));
    EXPECT_EQ(kDNSServiceErr_ServiceNotRunning, Dnssd().ProcessResult(resolve.Get()));
    EXPECT_EQ(kDNSServiceErr_NoError, Dnssd().ProcessResult(resolve.Get()));
    EXPECT_EQ(2u, answers.Count());

    CRef browse;  // the failure was armed once
    EXPECT_EQ(0, Dnssd().Browse(&browse, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
}

TEST_F(DnssdTest, AddressLookupReplyErrorCarriesTheScriptedAddress)
{
    Load("instance V _zeb_vci._tcp local.\n  address 10.0.0.9\n"
         "reply-error getaddrinfo -65554 address 0.0.0.0\n"
         "reply-error getaddrinfo -65537 address 10.0.0.3\n");
    for (const char* expected : {"0.0.0.0", "10.0.0.3"}) {
        CAnswers answers;
        CRef ref;
        ASSERT_EQ(0, Dnssd().GetAddrInfo(&ref, 0, 0, kDNSServiceProtocol_IPv4, "V.local.",
                         CAnswers::OnAddrInfo, &answers));
        ASSERT_TRUE(answers.PumpUntil(ref.Get(), 1));
        answers.PumpUntil(ref.Get(), 2, 100);
        ASSERT_EQ(1u, answers.Count());  // the error reply is the only one
        EXPECT_NE(0, answers.Get()[0].error);
        EXPECT_EQ(AF_INET, answers.Get()[0].family);
        EXPECT_EQ(expected, answers.Get()[0].address);
    }
    EXPECT_NE("", LoadScenarioText("reply-error resolve -65554 address 0.0.0.0\n"));
}

TEST_F(DnssdTest, PausedReferenceDeliversItsRepliesOnlyAfterThePause)
{
    Load("instance V _zeb_vci._tcp local.\n  port 1\npause resolve 400\n");
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Resolve(&ref, 0, 0, "V", "_zeb_vci._tcp", "local",
                     CAnswers::OnResolve, &answers));
    ASSERT_TRUE(Dnssd().WaitReadable(ref.Get(), 2000));
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(kDNSServiceErr_NoError, Dnssd().ProcessResult(ref.Get()));
    EXPECT_GE(GetTickCount64() - start, 350u);
    EXPECT_EQ(1u, answers.Count());
    EXPECT_NE("", LoadScenarioText("pause resolve x\n"));
}

TEST_F(DnssdTest, InjectedProcessErrorWakesALiveReference)
{
    Load("");
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    EXPECT_FALSE(Dnssd().WaitReadable(ref.Get(), 20));
    ASSERT_EQ(0, Dnssd().InjectError("browse", "process-error", -65563, 1));
    ASSERT_TRUE(Dnssd().WaitReadable(ref.Get(), 1000));
    EXPECT_EQ(kDNSServiceErr_ServiceNotRunning, Dnssd().ProcessResult(ref.Get()));
    EXPECT_EQ(-1, Dnssd().InjectError("reconfirm", "reply-error", -65537, 1));
    EXPECT_EQ(-1, Dnssd().InjectError("browse", "explode", -65537, 1));
    ASSERT_EQ(0, Dnssd().InjectError("reconfirm", "fail", -65537, 1));
    EXPECT_EQ(kDNSServiceErr_Unknown,
        Dnssd().ReconfirmRecord(0, 0, "V._zeb_vci._tcp.local", 16, 1, 1, "\0"));
}

TEST_F(DnssdTest, TimelineAndSteeringChangeTheNetworkWhileItRuns)
{
    Load("reply-delay 1\n"
         "instance V _zeb_vci._tcp local.\n  hidden\n  interfaces 4\n  txt \"usb=false\"\n"
         "at 30 add V _zeb_vci._tcp local.\n");
    CAnswers browse;
    CAnswers query;
    CRef browseRef;
    CRef queryRef;
    ASSERT_EQ(0, Dnssd().Browse(&browseRef, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &browse));
    ASSERT_EQ(0, Dnssd().QueryRecord(&queryRef, 0x100, 0, "V._zeb_vci._tcp.local", 16, 1,
                     CAnswers::OnQuery, &query));
    ASSERT_TRUE(browse.PumpUntil(browseRef.Get(), 1));  // the timeline's announcement
    ASSERT_TRUE(query.PumpUntil(queryRef.Get(), 1));

    ASSERT_EQ(0, Dnssd().AddInstance("V", "_zeb_vci._tcp", "local", 8, nullptr, 0, nullptr));
    ASSERT_EQ(0, Dnssd().AddInstance("NEW", "_zeb_vci._tcp", nullptr, 4, "new.local.", 1,
                     "10.1.2.3"));
    ASSERT_TRUE(browse.PumpUntil(browseRef.Get(), 3));
    ASSERT_EQ(0, Dnssd().SetTxt("V", "_zeb_vci._tcp", nullptr, "\x08usb=true", 9));
    ASSERT_TRUE(query.PumpUntil(queryRef.Get(), 6));
    ASSERT_EQ(0, Dnssd().RemoveInstance("V", "_zeb_vci._tcp", nullptr, 0));
    ASSERT_TRUE(browse.PumpUntil(browseRef.Get(), 5));
    EXPECT_EQ(-1, Dnssd().RemoveInstance("NONE", "_zeb_vci._tcp", nullptr, 0));
    EXPECT_EQ(-1, Dnssd().AddInstance(nullptr, "_zeb_vci._tcp", nullptr, 1, nullptr, 0, nullptr));
    EXPECT_EQ(-1, Dnssd().AddInstance("X", "_zeb_vci._tcp", nullptr, 1, nullptr, 0, "1.2.3"));

    EXPECT_EQ((std::vector<std::string>{"+V@4", "+V@8", "+NEW@4", "-V@4", "-V@8"}),
        BrowseEvents(browse));

    std::vector<std::string> txt;
    for (const Answer& a : query.Get()) {
        // Asked before the announcement: its answers come from the network, not the cache.
        EXPECT_EQ(0u, a.flags & kDNSServiceFlagAnsweredFromCache);
        txt.push_back(std::string(a.flags & kDNSServiceFlagsAdd ? "+" : "-") +
                      std::to_string(a.interfaceIndex) + a.data.substr(1));
    }
    EXPECT_EQ((std::vector<std::string>{"+4usb=false", "+8usb=false", "-4usb=false",
                  "+4usb=true", "-8usb=false", "+8usb=true"}),
        txt);
}

namespace {

// A private copy of the library, so that it starts afresh and reads its own scenario.
class CFreshCopy {
public:
    explicit CFreshCopy(const std::string& scenarioBeside)
    {
        CopyInto(TestDir() + L"\\dnssd.dll", m_dir.Path());
        if (!scenarioBeside.empty())
            WriteWholeFile(m_dir.File(L"dnssd_scenario.txt"), scenarioBeside);
    }
    std::wstring Dll() const { return m_dir.File(L"dnssd.dll"); }
    std::wstring File(const wchar_t* name) const { return m_dir.File(name); }

private:
    TempDir m_dir;
};

// Browses with a fresh copy of the library; answers the call's result and the error text.
std::pair<DNSServiceErrorType, std::string> BrowseWithFreshLibrary(const CFreshCopy& copy,
    size_t& answerCount)
{
    CDnssdClient lib(copy.Dll());
    if (!lib.Complete())
        return {1, "not loaded"};
    CAnswers answers;
    DNSServiceRef ref = nullptr;
    DNSServiceErrorType result =
        lib.Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse, &answers);
    if (ref) {
        for (int i = 0; i < 100 && answers.Count() == 0; ++i) {
            if (lib.WaitReadable(ref, 20))
                lib.ProcessResult(ref);
        }
        lib.RefDeallocate(ref);
    }
    answerCount = answers.Count();
    return {result, lib.LastErrorText()};
}

}  // namespace

TEST_F(DnssdTest, ScenarioIsTakenFromTheEnvironmentOrFromBesideTheLibrary)
{
    CFreshCopy beside("instance BESIDE _zeb_vci._tcp local.\n");
    size_t count = 0;
    auto result = BrowseWithFreshLibrary(beside, count);
    EXPECT_EQ(0, result.first);
    EXPECT_EQ(1u, count);

    CFreshCopy fromEnvironment("instance BESIDE _zeb_vci._tcp local.\n");
    WriteWholeFile(fromEnvironment.File(L"env.txt"), "\n\nbad line\n");
    SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", fromEnvironment.File(L"env.txt").c_str());
    result = BrowseWithFreshLibrary(fromEnvironment, count);
    SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", nullptr);
    // The daemon of a broken scenario is "not running", and the reason names file and line.
    EXPECT_EQ(kDNSServiceErr_ServiceNotRunning, result.first);
    EXPECT_EQ(Narrow(fromEnvironment.File(L"env.txt")) + ":3: unknown keyword 'bad'",
        result.second);
}

TEST_F(DnssdTest, AnotherProcessSteersTheNetworkThroughThePipeNamedInTheEnvironment)
{
    CSteeringPipe pipe;
    ASSERT_TRUE(pipe.Created());
    CFreshCopy copy("goodbye-delay 0\n"
                    "instance V _zeb_vci._tcp local.\n  hidden\n  interfaces 3\n");
    {
        CDnssdClient lib(copy.Dll());
        ASSERT_TRUE(lib.Complete());
        // The library connects at its first call, in the program that was started with the name.
        SetEnvironmentVariableW(L"ZANVI_DNSSD_STEERING_PIPE", pipe.Name().c_str());
        CAnswers browse;
        DNSServiceRef ref = nullptr;
        DNSServiceErrorType result =
            lib.Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse, &browse);
        SetEnvironmentVariableW(L"ZANVI_DNSSD_STEERING_PIPE", nullptr);
        ASSERT_EQ(0, result);
        ASSERT_TRUE(pipe.WaitConnected(2000));

        struct Case {
            const char* command;
            const char* reply;
        } cases[] = {
            {"seen V _zeb_vci._tcp local. 0", "0"},
            {"add V _zeb_vci._tcp local. 3", "0"},
            {"add V _zeb_vci._tcp local. 0", "-1"},  // an announcement names its interface
            {"add V _zeb_vci._tcp local.", "-1"},
            {"seen V _zeb_vci._tcp local. 0", "1"},
            {"seen NONE _zeb_vci._tcp local. 0", "-1"},
            {"remove NONE _zeb_vci._tcp local. 0", "-1"},
            {"rename V _zeb_vci._tcp local. 3", "-1"},
            {"remove V _zeb_vci._tcp local. 0", "0"},
            {"seen V _zeb_vci._tcp local. 0", "0"},  // its goodbye took effect at once
        };
        for (const Case& c : cases)
            EXPECT_EQ(c.reply, pipe.Send(c.command)) << c.command;
        for (int i = 0; i < 100 && browse.Count() < 2; ++i) {
            if (lib.WaitReadable(ref, 20))
                lib.ProcessResult(ref);
        }
        lib.RefDeallocate(ref);
        EXPECT_EQ((std::vector<std::string>{"+V@3", "-V@3"}), BrowseEvents(browse));
    }
    // The pipe's thread keeps the library until the pipe closes; then it goes.
    pipe.Close();
    bool unloaded = false;
    for (int i = 0; i < 100 && !unloaded; ++i, Sleep(20))
        unloaded = GetModuleHandleW(copy.Dll().c_str()) == nullptr;
    EXPECT_TRUE(unloaded);
}
