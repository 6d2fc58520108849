// References: socket readiness, delivery only inside DNSServiceProcessResult, deallocation from
// any thread, and bad input.
#include <atomic>

#include "dnssd_fixture.h"
#include "test_thread.h"

namespace {

const char* const kOneVci =
    "reply-delay 80\n"
    "instance DEMO-01 _wyn_vci._tcp local.\n  interfaces 3 7\n";

// Browse callbacks, each with the library's calling convention (a lambda converts only to the
// default one, which differs on i686).
struct Seen {
    DWORD thread = 0;
    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType,
                                   const char*, const char*, const char*, void* context)
    {
        static_cast<Seen*>(context)->thread = GetCurrentThreadId();
    }
};

struct Watch {
    std::atomic<bool> deallocated{false};
    std::atomic<int> callbacks{0};
    std::atomic<int> late{0};
    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType,
                                   const char*, const char*, const char*, void* context)
    {
        Watch* w = static_cast<Watch*>(context);
        ++w->callbacks;
        if (w->deallocated)
            ++w->late;
        Sleep(1);
    }
};

// Deallocates its reference from inside the callback.
struct Deallocating {
    int calls = 0;
    static void DNSSD_API OnBrowse(DNSServiceRef ref, DNSServiceFlags, uint32_t,
                                   DNSServiceErrorType, const char*, const char*, const char*,
                                   void* context)
    {
        ++static_cast<Deallocating*>(context)->calls;
        Dnssd().RefDeallocate(ref);
    }
};

}  // namespace

TEST_F(DnssdTest, SocketIsReadableExactlyWhileRepliesWait)
{
    Load(kOneVci);
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_wyn_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    EXPECT_FALSE(Dnssd().WaitReadable(ref.Get(), 20));  // the replies are not due yet
    ASSERT_TRUE(Dnssd().WaitReadable(ref.Get(), 2000));
    Sleep(20);
    EXPECT_EQ(0u, answers.Count());  // nothing is delivered outside ProcessResult
    EXPECT_EQ(kDNSServiceErr_NoError, Dnssd().ProcessResult(ref.Get()));
    EXPECT_EQ(2u, answers.Count());
    EXPECT_FALSE(Dnssd().WaitReadable(ref.Get(), 0));
}

TEST_F(DnssdTest, CallbacksRunOnTheThreadThatProcesses)
{
    Load("instance V _zeb_vci._tcp local.\n");
    Seen seen;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", "", Seen::OnBrowse, &seen));
    DWORD workerId = 0;
    TestThread worker([&] {
        workerId = GetCurrentThreadId();
        if (Dnssd().WaitReadable(ref.Get(), 2000))
            Dnssd().ProcessResult(ref.Get());
    });
    worker.Join();
    EXPECT_EQ(workerId, seen.thread);
}

TEST_F(DnssdTest, DeallocateWhileAnotherThreadProcessesEndsDelivery)
{
    Load("reply-delay 1\ninstance V _zeb_vci._tcp local.\n");
    Watch watch;
    DNSServiceRef ref = nullptr;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, Watch::OnBrowse, &watch));
    dnssd_sock_t sock = Dnssd().RefSockFD(ref);
    TestThread loop([&] {
        // The event loop of the deliverables: select, then process, until the call fails.
        for (;;) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(static_cast<SOCKET>(sock), &readable);
            timeval wait = {0, 10000};
            int n = select(0, &readable, nullptr, nullptr, &wait);
            if (n < 0 || (n == 1 && Dnssd().ProcessResult(ref) != kDNSServiceErr_NoError))
                break;
            if (n == 0 && watch.deallocated)
                break;
        }
    });
    for (int i = 2; i < 60; ++i) {  // a stream of adds and removals
        Dnssd().AddInstance("V", "_zeb_vci._tcp", nullptr, i, nullptr, 0, nullptr);
        Dnssd().RemoveInstance("V", "_zeb_vci._tcp", nullptr, i - 1);
        Sleep(1);
    }
    Dnssd().RefDeallocate(ref);
    watch.deallocated = true;
    loop.Join();
    EXPECT_GT(watch.callbacks.load(), 10);
    EXPECT_EQ(0, watch.late.load());
    EXPECT_EQ(DNSSD_INVALID_SOCKET, Dnssd().RefSockFD(ref));
    EXPECT_EQ(kDNSServiceErr_BadReference, Dnssd().ProcessResult(ref));
    // The socket was closed with the reference.
    char byte;
    EXPECT_EQ(SOCKET_ERROR, recv(static_cast<SOCKET>(sock), &byte, 1, 0));
}

TEST_F(DnssdTest, DeallocateInsideACallbackStopsTheRestOfTheBatch)
{
    Load("instance DEMO-01 _wyn_vci._tcp local.\n  interfaces 3 7 9\n");
    Deallocating state;
    DNSServiceRef ref = nullptr;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_wyn_vci._tcp", nullptr, Deallocating::OnBrowse,
                     &state));
    ASSERT_TRUE(Dnssd().WaitReadable(ref, 2000));
    EXPECT_EQ(kDNSServiceErr_NoError, Dnssd().ProcessResult(ref));
    EXPECT_EQ(1, state.calls);
}

TEST_F(DnssdTest, ProcessResultWithNothingWaitingReturnsInBoundedTime)
{
    Load("");
    CAnswers answers;
    CRef ref;
    ASSERT_EQ(0, Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse,
                     &answers));
    DWORD start = GetTickCount();
    EXPECT_EQ(kDNSServiceErr_NoError, Dnssd().ProcessResult(ref.Get()));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(0u, answers.Count());
}

TEST_F(DnssdTest, BadInputGetsTheDocumentedErrorCodes)
{
    CAnswers a;
    DNSServiceRef ref = nullptr;
    DNSServiceRef unknown = reinterpret_cast<DNSServiceRef>(&a);
    struct Case {
        const char* what;
        DNSServiceErrorType result;
        DNSServiceErrorType expected;
    } cases[] = {
        {"browse, no reference pointer",
            Dnssd().Browse(nullptr, 0, 0, "_zeb_vci._tcp", nullptr, CAnswers::OnBrowse, &a),
            kDNSServiceErr_BadParam},
        {"browse, no type", Dnssd().Browse(&ref, 0, 0, nullptr, nullptr, CAnswers::OnBrowse, &a),
            kDNSServiceErr_BadParam},
        {"browse, no callback", Dnssd().Browse(&ref, 0, 0, "_zeb_vci._tcp", nullptr, nullptr, &a),
            kDNSServiceErr_BadParam},
        {"query, no name", Dnssd().QueryRecord(&ref, 0, 0, nullptr, 16, 1, CAnswers::OnQuery, &a),
            kDNSServiceErr_BadParam},
        {"query, no reference pointer",
            Dnssd().QueryRecord(nullptr, 0, 0, "x.local", 16, 1, CAnswers::OnQuery, &a),
            kDNSServiceErr_BadParam},
        {"resolve, no name",
            Dnssd().Resolve(&ref, 0, 0, nullptr, "_zeb_vci._tcp", "local", CAnswers::OnResolve, &a),
            kDNSServiceErr_BadParam},
        {"resolve, no domain",
            Dnssd().Resolve(&ref, 0, 0, "V", "_zeb_vci._tcp", nullptr, CAnswers::OnResolve, &a),
            kDNSServiceErr_BadParam},
        {"address lookup, no host",
            Dnssd().GetAddrInfo(&ref, 0, 0, 1, nullptr, CAnswers::OnAddrInfo, &a),
            kDNSServiceErr_BadParam},
        {"reconfirm, no name", Dnssd().ReconfirmRecord(0, 0, nullptr, 16, 1, 0, nullptr),
            kDNSServiceErr_BadParam},
        {"reconfirm, no data", Dnssd().ReconfirmRecord(0, 0, "x.local", 16, 1, 4, nullptr),
            kDNSServiceErr_BadParam},
        {"process, no reference", Dnssd().ProcessResult(nullptr), kDNSServiceErr_BadParam},
        {"process, unknown reference", Dnssd().ProcessResult(unknown),
            kDNSServiceErr_BadReference},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.result) << c.what;
    EXPECT_EQ(nullptr, ref);
    EXPECT_EQ(DNSSD_INVALID_SOCKET, Dnssd().RefSockFD(nullptr));
    EXPECT_EQ(DNSSD_INVALID_SOCKET, Dnssd().RefSockFD(unknown));
    Dnssd().RefDeallocate(nullptr);
    Dnssd().RefDeallocate(unknown);
    EXPECT_EQ(0, Dnssd().ReconfirmCount());
}
