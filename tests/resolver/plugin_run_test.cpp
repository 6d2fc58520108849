// Whole runs of the plug-in's test build over the dnssd stand-in, with adapter records of our
// own and an instant USB pause.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "debug_capture.h"
#include "fake_adapters.h"
#include "plugin_host.h"
#include "test_files.h"
#include "test_thread.h"

namespace {

using Lines = std::vector<std::wstring>;

const FakeAdapter kUsb{"{11111111-0000-0000-0000-000000000005}", "Remote NDIS based Internet Sharing Device", 1, 5};
const FakeAdapter kWifi{"{11111111-0000-0000-0000-000000000009}", "Wireless WiFi Link", 71, 9};
const FakeAdapter kEth3{"{11111111-0000-0000-0000-000000000003}", "Intel Ethernet", 6, 3};
const FakeAdapter kEth7{"{11111111-0000-0000-0000-000000000007}", "Realtek PCIe GBE", 6, 7};

std::string Instance(const std::string& interfaces, const std::string& addresses)
{
    return "instance VCI-A7 _zeb_vci._tcp\n"
           "  interfaces " + interfaces + "\n"
           "  host vci-a7.local.\n"
           "  port 58713\n" + addresses;
}

bool Contains(const Lines& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int Count(const Lines& lines, const std::wstring& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// How long Cancel and the state exports may take, whatever another thread is doing: their target
// is 50 ms; the bound leaves room for a loaded machine.
constexpr DWORD kAtOnceMs = 250;

// Holds the first trace line that contains a text for a while, as a debugger holds a program in
// its debug output, so that a test acts while a host thread is inside the export writing it.
class TraceLineHold {
public:
    TraceLineHold(const std::wstring& text, DWORD ms)
    {
        s_text = text;
        s_narrow = Narrow(text);
        s_ms = ms;
        ResetEvent(s_held);
        s_armed = true;
        m_handler = AddVectoredExceptionHandler(1, Handler);
    }
    ~TraceLineHold()
    {
        s_armed = false;
        RemoveVectoredExceptionHandler(m_handler);
    }
    TraceLineHold(const TraceLineHold&) = delete;
    TraceLineHold& operator=(const TraceLineHold&) = delete;
    bool WaitUntilHeld(DWORD ms) const { return WaitForSingleObject(s_held, ms) == WAIT_OBJECT_0; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
        if (record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        const auto text = record->ExceptionInformation[1];
        bool matches = false;
        if (record->ExceptionCode == 0x4001000A)  // DBG_PRINTEXCEPTION_WIDE_C
            matches = std::wcsstr(reinterpret_cast<const wchar_t*>(text), s_text.c_str()) != nullptr;
        else if (record->ExceptionCode == 0x40010006)  // DBG_PRINTEXCEPTION_C
            matches = std::strstr(reinterpret_cast<const char*>(text), s_narrow.c_str()) != nullptr;
        if (matches && s_armed.exchange(false)) {
            SetEvent(s_held);
            Sleep(s_ms);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static std::wstring s_text;
    static std::string s_narrow;
    static DWORD s_ms;
    static std::atomic<bool> s_armed;
    static HANDLE s_held;
    void* m_handler;
};

std::wstring TraceLineHold::s_text;
std::string TraceLineHold::s_narrow;
DWORD TraceLineHold::s_ms = 0;
std::atomic<bool> TraceLineHold::s_armed{false};
HANDLE TraceLineHold::s_held = CreateEventW(nullptr, TRUE, FALSE, nullptr);

OSVERSIONINFOEXW s_version{};
BOOL FakeVersion(OSVERSIONINFOEXW* info)
{
    *info = s_version;
    return TRUE;
}

// The version record FakeVersion answers: Windows 6.minor, by default a Windows 7 workstation.
void FakeWindows6(BYTE productType = VER_NT_WORKSTATION, DWORD minor = 1)
{
    s_version = OSVERSIONINFOEXW{};
    s_version.dwPlatformId = VER_PLATFORM_WIN32_NT;
    s_version.dwMajorVersion = 6;
    s_version.dwMinorVersion = minor;
    s_version.dwBuildNumber = 7601;
    s_version.wProductType = productType;
}

class PluginRunTest : public ::testing::Test {
protected:
    // Loads the test build with the given adapters and network, and initialises it.
    void Start(std::vector<FakeAdapter> adapters, const std::string& scenario, bool realUsbPause = false,
               BOOL (*getVersionEx)(OSVERSIONINFOEXW*) = nullptr)
    {
        m_host.reset();
        m_adapters.reset(new FakeAdapterList(std::move(adapters)));
        m_host.reset(new PluginHost(L"ZanviResolverSeams.dll", true));
        ASSERT_TRUE(m_host->Loaded());
        m_host->UseFakeSeams(getVersionEx, realUsbPause);
        ASSERT_EQ(m_host->Init(), 0);
        ASSERT_TRUE(m_host->LoadScenario(scenario));
    }
    // Waits until the line has been logged the given number of times.
    bool WaitForLine(const std::wstring& line, int times = 1, DWORD timeoutMs = 5000)
    {
        const DWORD start = GetTickCount();
        while (Count(m_capture.Messages(), line) < times) {
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(20);
        }
        return true;
    }
    void TearDown() override
    {
        m_host.reset();
        m_adapters.reset();
    }

    std::unique_ptr<FakeAdapterList> m_adapters;
    std::unique_ptr<PluginHost> m_host;
    DebugOutputCapture m_capture;
};

TEST_F(PluginRunTest, UsbRunDeliversAddressAndPortWithProgressZeroSevenFifteen)
{
    Start({kEth3, kUsb}, Instance("5", "  address 169.254.10.1\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,usb", host.ipAddress, host.port), 1);
    std::vector<int32_t> progress;
    EXPECT_EQ(host.PollUntilDone(10000, &progress), 3);
    EXPECT_STREQ(host.ipAddress, "169.254.10.1");
    EXPECT_STREQ(host.port, "58713");
    EXPECT_EQ(host.ProgressMax(), 15);
    EXPECT_EQ(progress.back(), 15);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    for (int32_t figure : progress) EXPECT_TRUE(figure == 0 || figure == 7 || figure == 15) << figure;
    const Lines lines = m_capture.Messages();
    EXPECT_TRUE(Contains(lines, L"D:resolve_reply() [usb]"));
    EXPECT_TRUE(Contains(lines, L"D:addrinfo_reply(): got ipaddress:169.254.10.1"));
    EXPECT_TRUE(Contains(lines, L"D:Zanviresolver_UpdateState(): Return GOOD from UpdateState...return is RS_Ready"));
    // The timer ends once told the run is complete, and with it the answer turns to 5.
    Sleep(400);
    EXPECT_EQ(host.UpdateState(), 5);
}

TEST_F(PluginRunTest, UsbRunWithoutUsbAdapterGivesUpAfterFifteenAttempts)
{
    Start({kEth3}, Instance("3", "  address 169.254.10.1\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,usb", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(10000), 5);
    EXPECT_EQ(UsbPauseCount(), 15);
    EXPECT_EQ(Count(m_capture.Messages(), L"D:MainThread(): USB interface not found. Wait 1 second and try again."), 15);
    EXPECT_EQ(host.ErrorState(), 5);
    EXPECT_STREQ(host.ipAddress, "");
}

TEST_F(PluginRunTest, TwoResolveAnswersUseTheFirstForPortAndAddress)
{
    Start({kEth3, kEth7}, Instance("3 7", "  address 192.168.3.5 on 3\n  address 10.7.0.5 on 7\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(15000), 3);
    const Lines lines = m_capture.Messages();
    EXPECT_TRUE(Contains(lines, L"D:MainThread(): Desired interface is eth"));
    EXPECT_EQ(Count(lines, L"D:resolve_reply():"), 2);
    EXPECT_STREQ(host.port, "58713");
    EXPECT_STREQ(host.ipAddress, "192.168.3.5");
    EXPECT_EQ(host.ProgressMax(), 60);
}

TEST_F(PluginRunTest, EthernetRunAnsweredOverWifiIsSaved)
{
    Start({kWifi}, Instance("9", "  address 169.254.9.9\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(15000), 3);
    EXPECT_TRUE(Contains(m_capture.Messages(), L"D:resolve_reply(): looking for ETH but did not return ETH. Save it."));
    EXPECT_STREQ(host.ipAddress, "169.254.9.9");
}

TEST_F(PluginRunTest, AddressAnswerMarkedMoreComingDoesNotEndThePhase)
{
    Start({kEth3}, Instance("3", "  address 10.0.0.3 more\n  address 10.0.0.4 after 400\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(15000), 3);
    const Lines lines = m_capture.Messages();
    EXPECT_TRUE(Contains(lines, L"D:addrinfo_reply(): more data is coming..."));
    EXPECT_TRUE(Contains(lines, L"D:addrinfo_reply(): got ipaddress:10.0.0.4"));
    EXPECT_STREQ(host.ipAddress, "10.0.0.3");
}

TEST_F(PluginRunTest, AddressAnswerWithoutIpv4EndsInErrorNotReady)
{
    Start({kEth3}, Instance("3", "  address none\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_TRUE(host.WaitForErrorState(5, 10000));
    EXPECT_NE(host.Progress(), host.ProgressMax());
    EXPECT_STREQ(host.ipAddress, "");
    EXPECT_STREQ(host.port, "58713");
}

TEST_F(PluginRunTest, WifiRunAnsweredOnlyOverUsbSkipsTheAnswerAndCancelHolds)
{
    Start({kUsb, kWifi}, Instance("5", "  address 169.254.10.1\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,wifi", host.ipAddress, host.port), 1);
    EXPECT_TRUE(WaitForLine(L"D:resolve_reply(): looking for WIFI, got USB. Skip it."));
    EXPECT_EQ(host.UpdateState(), 2);
    EXPECT_EQ(host.Cancel(), 4);
    EXPECT_EQ(host.ErrorState(), 4);
    EXPECT_EQ(host.ErrorState(), 4);
    EXPECT_EQ(host.UpdateState(), 5);
    EXPECT_FALSE(Contains(m_capture.Messages(), L"D:resolve_reply() [wifi]"));
}

TEST_F(PluginRunTest, EthernetRunAnsweredOverUsbSavesNothing)
{
    Start({kUsb}, Instance("5", "  address 169.254.10.1\n"));
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    const std::wstring skip = L"D:resolve_reply(): looking for ETH, got USB. Skip it.";
    EXPECT_TRUE(WaitForLine(skip));
    const Lines lines = m_capture.Messages();
    const auto save = std::find(lines.begin(), lines.end(),
                                L"D:resolve_reply(): looking for ETH but did not return ETH. Save it.");
    ASSERT_NE(save, lines.end());
    EXPECT_NE(std::find(save, lines.end(), skip), lines.end());
    EXPECT_EQ(host.Progress(), 0);
}

// Address answers that carry no address: a negative answer (an error code with 0.0.0.0, as
// unicast DNS gives it), an error code with a real address, and the unspecified address alone.
TEST_F(PluginRunTest, AddressReplyThatIsNoAddressEndsInErrorNeverReady)
{
    const struct {
        const char* scenario;
        const wchar_t* line;
    } cases[] = {
        {"  address 10.0.0.9\nreply-error getaddrinfo -65554 address 0.0.0.0\n",
         L"D:addrinfo_reply(): Error code -65554"},
        {"  address 10.0.0.9\nreply-error getaddrinfo -65537 address 10.0.0.3\n",
         L"D:addrinfo_reply(): Error code -65537"},
        {"  address 0.0.0.0\n", L"D:\t       address: 0.0.0.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        m_capture.Clear();
        Start({kEth3}, Instance("3", c.scenario));
        PluginHost& host = *m_host;
        ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
        EXPECT_TRUE(host.WaitForErrorState(5, 10000));
        EXPECT_TRUE(Contains(m_capture.Messages(), c.line));
        EXPECT_EQ(host.Progress(), 30);
        EXPECT_NE(host.UpdateState(), 3);
        EXPECT_STREQ(host.ipAddress, "");
        EXPECT_STREQ(host.port, "58713");
        EXPECT_EQ(host.Cancel(), 4);
    }
}

// However a run is ended in whichever phase, its threads change nothing afterwards, and the
// host polling after it reads Error, never Working.
TEST_F(PluginRunTest, RunEndedByCancelOrFreeInAnyPhaseReadsCanceledThenError)
{
    enum Ender { kCancel, kFree, kCancelThenFree };
    const std::string noAnswerYet = Instance("3", "  address 10.0.0.3 after 30000\n");
    const struct {
        const char* phase;
        std::vector<FakeAdapter> adapters;
        std::string scenario;
        const char* text;
        Ender ender;
    } cases[] = {
        {"resolve", {kEth3}, "", "VCI-A7._zeb_vci._tcp.local,58713,eth", kCancel},
        {"address", {kEth3}, noAnswerYet, "VCI-A7._zeb_vci._tcp.local,58713,eth", kCancel},
        {"usb wait", {kEth3}, "", "VCI-A7._zeb_vci._tcp.local,58713,usb", kCancel},
        {"usb wait", {kEth3}, "", "VCI-A7._zeb_vci._tcp.local,58713,usb", kFree},
        {"address", {kEth3}, noAnswerYet, "VCI-A7._zeb_vci._tcp.local,58713,eth", kCancelThenFree},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.phase) + " " + std::to_string(c.ender));
        m_capture.Clear();
        const bool usb = std::string(c.phase) == "usb wait";
        Start(c.adapters, c.scenario, usb);
        PluginHost& host = *m_host;
        ASSERT_EQ(host.Execute(c.text, host.ipAddress, host.port), 1);
        if (usb) {
            ASSERT_TRUE(WaitForLine(L"D:MainThread(): USB interface not found. Wait 1 second and try again."));
        } else {
            ASSERT_TRUE(WaitForLine(L"D:MainThread(): Desired interface is eth"));
            const DWORD start = GetTickCount();
            const int32_t phaseProgress = std::string(c.phase) == "address" ? 30 : 0;
            while (host.Progress() != phaseProgress && GetTickCount() - start < 5000) Sleep(20);
            ASSERT_EQ(host.Progress(), phaseProgress);
            Sleep(400);  // the phase's event loop is at work
        }
        if (c.ender == kFree) {
            EXPECT_EQ(host.Free(), 3);
        } else {
            EXPECT_EQ(host.Cancel(), 4);
            EXPECT_EQ(host.ErrorState(), 4);
            Sleep(300);  // a thread woken by the stop has long run on by now
            EXPECT_EQ(host.ErrorState(), 4);
            if (c.ender == kCancelThenFree) {
                EXPECT_EQ(host.Free(), 3);
            }
        }
        EXPECT_EQ(host.UpdateState(), 5);
        Sleep(200);
        EXPECT_EQ(host.UpdateState(), 5);
        EXPECT_EQ(host.Progress(), -1);
        EXPECT_STREQ(host.ipAddress, "");
        if (c.ender != kCancel) {
            host.Unload();
            Sleep(500);
            EXPECT_EQ(GetModuleHandleW(host.Dir().File(L"ZanviResolverSeams.dll").c_str()), nullptr);
        }
    }
}

// The old run's event loop is held inside the library's delivery past Cancel or Free; its late
// answer must not reach the run that the host starts at once.
TEST_F(PluginRunTest, ThreadOutlivingCancelOrFreeDoesNotTouchTheNextRun)
{
    const std::string network = Instance("3", "  address 10.0.0.3\n");
    for (const bool free : {false, true}) {
        SCOPED_TRACE(free ? "Free" : "Cancel");
        m_capture.Clear();
        Start({kEth3}, network + "pause resolve 2500\n");
        PluginHost& host = *m_host;
        char oldAddress[16] = {};
        char oldPort[6] = {};
        ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", oldAddress, oldPort), 1);
        Sleep(1000);  // the resolve answer waits in the paused delivery
        if (free) {
            EXPECT_EQ(host.Free(), 3);
            ASSERT_EQ(host.Init(), 0);
            ASSERT_TRUE(host.LoadScenario(network));
        } else {
            EXPECT_EQ(host.Cancel(), 4);
        }
        EXPECT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
        EXPECT_EQ(host.PollUntilDone(15000), 3);
        EXPECT_STREQ(host.ipAddress, "10.0.0.3");
        EXPECT_STREQ(host.port, "58713");
        EXPECT_TRUE(WaitForLine(L"D:resolve_reply():", 2));  // the old loop's late answer
        Sleep(500);
        EXPECT_EQ(Count(m_capture.Messages(), L"D:GoGetAddressInfo(): resolve reply count > 0"), 1);
        EXPECT_STREQ(oldAddress, "");
        EXPECT_STREQ(oldPort, "");
        EXPECT_EQ(host.UpdateState(), 5);
    }
}

TEST_F(PluginRunTest, InitWithoutDnssdStillAcceptsExecuteAndTheRunFails)
{
    m_adapters.reset(new FakeAdapterList({kUsb}));
    m_host.reset(new PluginHost(L"ZanviResolverSeams.dll", false));
    ASSERT_TRUE(m_host->Loaded());
    m_host->UseFakeSeams();
    PluginHost& host = *m_host;
    EXPECT_EQ(host.Init(), 5);
    EXPECT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,usb", host.ipAddress, host.port), 1);
    EXPECT_TRUE(host.WaitForErrorState(5, 5000));
    EXPECT_TRUE(Contains(m_capture.Messages(), L"E:GoResolveService(): gDNSServiceResolve == NULL!"));
}

TEST_F(PluginRunTest, WifiPreparationWritesTheProfileOnlyForWifiOnAWindows7Workstation)
{
    const FakeAdapter dongle{"{22222222-0000-0000-0000-000000000004}", "USB WiFi adapter", 71, 4};
    const struct {
        const char* link;
        DWORD major, minor;
        BYTE productType;
        bool prepared;
    } cases[] = {
        {"wifi", 6, 1, VER_NT_WORKSTATION, true},
        {"Wifi", 6, 1, VER_NT_WORKSTATION, false},
        {"wifi", 6, 0, VER_NT_WORKSTATION, false},
        {"wifi", 6, 1, VER_NT_SERVER, false},
    };
    for (const auto& c : cases) {
        m_host.reset();
        m_capture.Clear();
        FakeWindows6(c.productType, c.minor);
        m_adapters.reset(new FakeAdapterList({dongle}));
        m_host.reset(new PluginHost(L"ZanviResolverSeams.dll", true));
        ASSERT_TRUE(m_host->Loaded());
        m_host->UseFakeSeams(FakeVersion);
        ASSERT_EQ(m_host->Init(), 0);
        const std::string text = std::string("VCI-A7._zeb_vci._tcp.local,58713,") + c.link;
        ASSERT_EQ(m_host->Execute(text.c_str(), m_host->ipAddress, m_host->port), 1);
        const bool written = !ReadWholeFile(m_host->Dir().File(L"A7.xml")).empty();
        EXPECT_EQ(written, c.prepared) << c.link << " " << c.major << "." << c.minor;
        const Lines lines = m_capture.Messages();
        EXPECT_EQ(Contains(lines, L"D:WiFi dongle interface GUID: {22222222-0000-0000-0000-000000000004}"),
                  c.prepared);
        EXPECT_EQ(Contains(lines, L"D:CWifiApi::connectAdHoc(SSID='A7', GUID='{22222222-0000-0000-0000-000000000004}')"),
                  c.prepared);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](const std::wstring& l) { return l.rfind(L"D:OS Version: Microsoft ", 0) == 0; }),
                  1);
        EXPECT_EQ(m_host->Cancel(), 4);
    }
}

TEST_F(PluginRunTest, FreeAndUnloadInTheMiddleOfThePhaseLeaveNothingRunning)
{
    Start({kEth3}, "");
    PluginHost& host = *m_host;
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    Sleep(700);  // the resolve phase is waiting for an answer that never comes
    const DWORD start = GetTickCount();
    EXPECT_EQ(host.Free(), 3);
    EXPECT_LT(GetTickCount() - start, 5000u);
    host.Unload();
    Sleep(500);
    EXPECT_EQ(GetModuleHandleW(host.Dir().File(L"ZanviResolverSeams.dll").c_str()), nullptr);
    EXPECT_STREQ(host.ipAddress, "");
}

// A host's UI thread calls Cancel and the state exports while another host thread is inside
// Execute (its Wi-Fi preparation) or UpdateState: they answer at once all the same, and a
// Cancel during Execute ends the run before it starts.
TEST_F(PluginRunTest, CancelAndStateExportsAnswerAtOnceWhileAnotherThreadIsInsideAnExport)
{
    const FakeAdapter dongle{"{22222222-0000-0000-0000-000000000004}", "USB WiFi adapter", 71, 4};
    const struct {
        const char* inside;
        const wchar_t* heldLine;
        const char* text;
    } cases[] = {
        {"Execute", L"WiFi dongle interface GUID", "VCI-A7._zeb_vci._tcp.local,58713,wifi"},
        {"UpdateState", L"Zanviresolver_UpdateState(): Progress=", "VCI-A7._zeb_vci._tcp.local,58713,eth"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inside);
        m_capture.Clear();
        FakeWindows6();
        Start({dongle, kEth3}, "", false, FakeVersion);
        PluginHost& host = *m_host;
        const bool inExecute = std::string(c.inside) == "Execute";
        if (!inExecute) {
            ASSERT_EQ(host.Execute(c.text, host.ipAddress, host.port), 1);
        }
        TraceLineHold hold(c.heldLine, 1500);
        std::atomic<int32_t> insideResult{-1};
        TestThread inside([&] {
            insideResult = inExecute ? host.Execute(c.text, host.ipAddress, host.port) : host.UpdateState();
        });
        ASSERT_TRUE(hold.WaitUntilHeld(5000));
        const struct {
            const char* name;
            int32_t (*call)();
        } exports[] = {{"ErrorState", host.ErrorState}, {"Progress", host.Progress},
                       {"ProgressMax", host.ProgressMax}, {"ErrorLine", host.ErrorLine},
                       {"ServiceName", host.ServiceName}, {"UpdateState", host.UpdateState},
                       {"Cancel", host.Cancel}};
        int32_t canceled = -1;
        for (const auto& e : exports) {
            const DWORD start = GetTickCount();
            canceled = e.call();
            EXPECT_LT(GetTickCount() - start, kAtOnceMs) << e.name;
        }
        EXPECT_EQ(canceled, 4);
        inside.Join();
        if (inExecute) {
            EXPECT_EQ(insideResult.load(), 4);
            EXPECT_EQ(host.ErrorState(), 4);
            Sleep(300);
            EXPECT_FALSE(Contains(m_capture.Messages(), L"D:>> MainThread(): Start"));
        }
        EXPECT_EQ(host.UpdateState(), 5);
        EXPECT_STREQ(host.ipAddress, "");
    }
}

// A second Init while a run goes on ends that run as Free would: the host polling it reads
// Error, never Working for ever, and the plug-in is initialised and idle for the next run.
TEST_F(PluginRunTest, SecondInitDuringARunEndsItAndLeavesThePluginIdle)
{
    const struct {
        const char* text;
        const wchar_t* runningLine;
    } cases[] = {
        {"VCI-A7._zeb_vci._tcp.local,58713,usb", L"D:MainThread(): USB interface not found. Wait 1 second and try again."},
        {"VCI-A7._zeb_vci._tcp.local,58713,eth", L"D:MainThread(): Desired interface is eth"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        m_capture.Clear();
        Start({kEth3}, "", true);
        PluginHost& host = *m_host;
        char oldAddress[16] = {};
        char oldPort[6] = {};
        ASSERT_EQ(host.Execute(c.text, oldAddress, oldPort), 1);
        ASSERT_TRUE(WaitForLine(c.runningLine));
        Sleep(400);
        EXPECT_EQ(host.Init(), 0);
        EXPECT_EQ(host.ErrorState(), 0);
        EXPECT_EQ(host.UpdateState(), 5);
        Sleep(1200);  // past a USB retry and a round of the event loop
        EXPECT_EQ(host.UpdateState(), 5);

        ASSERT_TRUE(host.LoadScenario(Instance("3", "  address 10.0.0.3\n")));
        ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
        EXPECT_EQ(host.PollUntilDone(15000), 3);
        EXPECT_STREQ(host.ipAddress, "10.0.0.3");
        EXPECT_STREQ(oldAddress, "");
        EXPECT_STREQ(oldPort, "");
    }
}

// Two host processes resolve at once, one VCI answering and one silent. The named completion
// events are shared by both processes, yet each run hears only its own answers: the answered run
// is Ready at once and the silent one hears nothing, whichever process waited first.
TEST_F(PluginRunTest, TwoProcessesResolvingAtOnceEachHearOnlyTheirOwnAnswers)
{
    const std::string answered = Instance("3", "  address 10.0.0.3\n");
    const std::string peerAnswered = "instance VCI-B2 _zeb_vci._tcp\n  host vci-b2.local.\n  port 58713\n"
                                     "  address 10.0.0.9\n";
    for (const bool oursAnswered : {true, false}) {
        SCOPED_TRACE(oursAnswered ? "this process answered, the other silent" : "the other answered, this silent");
        m_capture.Clear();
        TempDir peerDir;
        ASSERT_TRUE(CopyInto(BinDir() + L"\\ZanviResolver.dll", peerDir.Path()));
        ASSERT_TRUE(CopyInto(SimDir() + L"\\dnssd.dll", peerDir.Path()));
        ASSERT_TRUE(WriteWholeFile(peerDir.File(L"dnssd_scenario.txt"), oursAnswered ? "" : peerAnswered));
        const std::wstring startedName = L"ZanviResolverPeerStarted-" + std::to_wstring(GetCurrentProcessId());
        HANDLE started = CreateEventW(nullptr, TRUE, FALSE, startedName.c_str());
        ASSERT_NE(started, nullptr);
        Start({kEth3}, oursAnswered ? answered : "");
        PluginHost& host = *m_host;
        const auto peerCommand = [&](DWORD pollMs) {
            return L"\"" + TestDir() + L"\\resolver_peer.exe\" \"" + peerDir.Path() +
                   L"\" VCI-B2._zeb_vci._tcp.local,58713,eth " + std::to_wstring(pollMs) + L" " + startedName;
        };
        if (oursAnswered) {
            // The other process waits first, for an answer that never comes.
            ChildProcess peer(peerCommand(8000));
            ASSERT_TRUE(peer.Started());
            ASSERT_EQ(WaitForSingleObject(started, 20000), WAIT_OBJECT_0);
            Sleep(800);  // its resolve phase waits
            ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
            EXPECT_EQ(host.PollUntilDone(6000), 3);
            EXPECT_STREQ(host.ipAddress, "10.0.0.3");
            EXPECT_EQ(peer.Wait(30000), 2u) << "the silent run heard an answer";
        } else {
            ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
            ASSERT_TRUE(WaitForLine(L"D:MainThread(): Desired interface is eth"));
            Sleep(500);  // our resolve phase waits
            ChildProcess peer(peerCommand(6000));
            ASSERT_TRUE(peer.Started());
            EXPECT_EQ(peer.Wait(30000), 3u) << "the answered run in the other process did not end Ready";
            EXPECT_EQ(host.UpdateState(), 2);
            EXPECT_EQ(host.Progress(), 0);
            EXPECT_FALSE(Contains(m_capture.Messages(), L"D:GoGetAddressInfo(): resolve reply count == 0"));
            EXPECT_EQ(host.Cancel(), 4);
        }
        CloseHandle(started);
    }
}

// An exception in a thread of the run ends that run in error, traced; it never reaches the host
// nor ends the process, and the next run goes as usual.
TEST_F(PluginRunTest, ExceptionInARunThreadEndsTheRunInErrorAndIsTraced)
{
    Start({kEth3}, Instance("3", "  address 10.0.0.3\n"));
    PluginHost& host = *m_host;
    host.UseFakeSeams(nullptr, false, true);  // the survey at the start of the run throws
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_TRUE(host.WaitForErrorState(5, 5000));
    host.UseFakeSeams();
    EXPECT_TRUE(Contains(m_capture.Messages(), L"E:MainThread(): unexpected exception; the run ends in error"));
    EXPECT_EQ(host.UpdateState(), 5);
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(15000), 3);
    EXPECT_STREQ(host.ipAddress, "10.0.0.3");
}

// The named completion events are still signalled for whoever else waits on them, though the
// plug-in's own waits no longer use them.
TEST_F(PluginRunTest, NamedCompletionEventsAreStillSignalledForOthers)
{
    Start({kEth3}, Instance("3", "  address 10.0.0.3 after 500\n"));
    PluginHost& host = *m_host;
    std::atomic<int> signalled{0};
    TestThread other([&] {
        for (const wchar_t* name : {L"Resolver_evResolveDone", L"Resolver_evGetAddrInfoDone"}) {
            HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name);
            if (!event) continue;
            signalled += WaitForSingleObject(event, 5000) == WAIT_OBJECT_0;
            CloseHandle(event);
        }
    });
    ASSERT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,eth", host.ipAddress, host.port), 1);
    EXPECT_EQ(host.PollUntilDone(15000), 3);
    other.Join();
    EXPECT_EQ(signalled.load(), 2);
}

}  // namespace
