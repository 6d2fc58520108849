// The deliverables against the real DNS-SD pair: the client library dnssd.dll built from the
// open-source responder, its daemon on the PC's side, and a VCI announced by the daemon at the
// other end of a veth pair (realpeer.sh sets the network up and runs this program in it).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "host_process.h"
#include "host_stage.h"
#include "real_peer.h"
#include "selector_view.h"
#include "test_files.h"

namespace {

const char kCorvexType[] = "_zeb_vci._tcp";
const char kBayStewardType[] = "_wyn_vci._tcp";
const wchar_t kCorvexTitle[] = L"Zanvi Selector - Corvex";
// The selector lists what the PC's daemon has cached within a few of its 250 ms passes; the
// bounds are generous for a loaded machine.
const DWORD kListedMs = 20000;
// A goodbye takes the daemon about a second; the tree follows on its next pass.
const DWORD kGoneMs = 10000;

// The deliverables in one folder with the real client library beside them.
class RealInstallation {
public:
    RealInstallation()
    {
        CopyInto(BinDir() + L"\\ZanviSelector.exe", Folder());
        CopyInto(BinDir() + L"\\ZanviResolver.dll", Folder());
        CopyInto(RealDnssdLibrary(), Folder());
    }
    const std::wstring& Folder() const { return m_folder.Path(); }
    HostRun Host(std::vector<std::wstring> args, DWORD waitMs = 90000) const
    {
        args.insert(args.end(), {L"--dir", Folder()});
        return RunHost(args, Folder(), waitMs);
    }
    std::wstring Selector(const wchar_t* arguments) const
    {
        return L"\"" + Folder() + L"\\ZanviSelector.exe\" " + arguments;
    }

private:
    TempDir m_folder;
};

bool Lists(const VciTree& tree, const std::wstring& vci, const std::vector<std::wstring>& links)
{
    const auto it = tree.find(vci);
    return it != tree.end() && it->second == links;
}

bool HasLine(const HostRun& run, const std::string& line)
{
    const std::vector<std::string> lines = run.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class RealPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (RealDnssdLibrary().empty()) GTEST_SKIP() << "not started by realpeer.sh";
        // Both hosts are installed, no VCI chosen yet: the selector opens its dialog.
        m_hostFiles.WriteIni("");
        m_hostFiles.WriteRegistry(L"");
    }
    SavedSelectionStage m_hostFiles;
    RealPeer m_peer;
    RealInstallation m_pc;
};

// Counts the selector's broadcast after a save in the registry, as the Bay Steward host hears it.
class SaveBroadcastListener {
public:
    SaveBroadcastListener() : m_uSave(RegisterWindowMessageW(L"com.quellar.zanviselector.save"))
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZanviRealPeerListener";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, this);
    }
    ~SaveBroadcastListener() { DestroyWindow(m_hWnd); }
    SaveBroadcastListener(const SaveBroadcastListener&) = delete;
    SaveBroadcastListener& operator=(const SaveBroadcastListener&) = delete;

    // Handles what this thread has queued for up to waitMs, then answers the count.
    int Saves(DWORD waitMs)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < waitMs && m_nSaves == 0; Sleep(20)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        return m_nSaves;
    }

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_NCCREATE)
            SetWindowLongPtrW(hWnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<SaveBroadcastListener*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self && uMsg == self->m_uSave) ++self->m_nSaves;
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
    HWND m_hWnd = nullptr;
    UINT m_uSave;
    int m_nSaves = 0;
};

struct VariantCase {
    const wchar_t* arguments;  // the selector's command line
    const wchar_t* title;
    const char* type;
    int port;
    const wchar_t* link;       // picked under the first VCI
    const char* saved;
    bool registry;             // saved in the registry and broadcast, else in the INI file
};

class SelectorOnRealPeer : public RealPeerTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(SelectorOnRealPeer, ListsAnnouncedVcisWithTheirLinksAndSavesTheChoice)
{
    const VariantCase& c = GetParam();
    ASSERT_TRUE(m_peer.Announce("RP-ONE", c.type, c.port, {"usb=true", "wifi=false", "eth=true"}));
    ASSERT_TRUE(m_peer.Announce("RP-TWO", c.type, c.port, {"usb=false", "wifi=true", "eth=false"}));
    SaveBroadcastListener listener;

    ChildProcess selector(m_pc.Selector(c.arguments), m_pc.Folder());
    ASSERT_TRUE(selector.Started());
    SelectorView view(c.title, kListedMs);
    ASSERT_TRUE(view.Found());
    EXPECT_TRUE(view.WaitFor([](const VciTree& tree) {
        return Lists(tree, L"RP-ONE", {L"USB", L"Ethernet"}) && Lists(tree, L"RP-TWO", {L"WiFi"});
    }, kListedMs)) << Describe(view.Read());

    ChildProcess user(L"\"" + SimDir() + L"\\scripted_user.exe\" \"" + c.title + L"\" RP-ONE " + c.link + L" save 30",
                      m_pc.Folder());
    ASSERT_TRUE(user.Started());
    EXPECT_EQ(0u, user.Wait(60000));
    ASSERT_TRUE(selector.Ended(20000));

    HostRun show = m_pc.Host({L"show"});
    EXPECT_NE(std::string::npos, show.output.find(c.saved)) << show.output;
    if (c.registry) {
        EXPECT_EQ(1, listener.Saves(5000));
    }
}

INSTANTIATE_TEST_SUITE_P(BothHosts, SelectorOnRealPeer, ::testing::Values(
    VariantCase{L"", kCorvexTitle, kCorvexType, 58713, L"USB",
                "srv[RP-ONE._zeb_vci._tcp.local,58713,usb]", false},
    VariantCase{L"mode=2", L"Zanvi Selector - Bay Steward", kBayStewardType, 6800, L"Ethernet",
                "srv[RP-ONE._wyn_vci._tcp.local,6800,eth]", true}));

TEST_F(RealPeerTest, WithdrawnVciLeavesTheTree)
{
    ASSERT_TRUE(m_peer.Announce("RP-GOES", kCorvexType, 58713, {"usb=true", "wifi=false", "eth=false"}));
    ASSERT_TRUE(m_peer.Announce("RP-STAYS", kCorvexType, 58713, {"usb=false", "wifi=false", "eth=true"}));
    ChildProcess selector(m_pc.Selector(L""), m_pc.Folder());
    ASSERT_TRUE(selector.Started());
    SelectorView view(kCorvexTitle, kListedMs);
    ASSERT_TRUE(view.Found());
    ASSERT_TRUE(view.WaitFor([](const VciTree& tree) {
        return Lists(tree, L"RP-GOES", {L"USB"}) && Lists(tree, L"RP-STAYS", {L"Ethernet"});
    }, kListedMs)) << Describe(view.Read());

    ASSERT_TRUE(m_peer.Withdraw("RP-GOES", kCorvexType));
    EXPECT_TRUE(view.WaitFor([](const VciTree& tree) {
        return tree.count(L"RP-GOES") == 0 && Lists(tree, L"RP-STAYS", {L"Ethernet"});
    }, kGoneMs)) << Describe(view.Read());
}

TEST_F(RealPeerTest, VciWhoseTxtIsNeverAnsweredDoesNotHoldUpLaterOnes)
{
    ASSERT_TRUE(m_peer.AnnounceBrowseOnly("RP-MUTE", kCorvexType));
    ChildProcess selector(m_pc.Selector(L""), m_pc.Folder());
    ASSERT_TRUE(selector.Started());
    SelectorView view(kCorvexTitle, kListedMs);
    ASSERT_TRUE(view.Found());
    // Listed from its browse record, with no link: its TXT question is being asked.
    ASSERT_TRUE(view.WaitFor([](const VciTree& tree) { return tree.count(L"RP-MUTE") == 1; }, kListedMs))
        << Describe(view.Read());

    ASSERT_TRUE(m_peer.Announce("RP-LATER", kCorvexType, 58713, {"usb=true", "wifi=false", "eth=true"}));
    EXPECT_TRUE(view.WaitFor([](const VciTree& tree) {
        return Lists(tree, L"RP-LATER", {L"USB", L"Ethernet"});
    }, kListedMs)) << Describe(view.Read());
    EXPECT_TRUE(Lists(view.Read(), L"RP-MUTE", {})) << Describe(view.Read());
}

struct ResolveCase {
    const char* selection;
    const char* port;
};

class ResolverOnRealPeer : public RealPeerTest, public ::testing::WithParamInterface<ResolveCase> {};

TEST_P(ResolverOnRealPeer, ResolvesTheSelectionToTheAnnouncingSidesAddress)
{
    const ResolveCase& c = GetParam();
    ASSERT_TRUE(m_peer.Announce("RP-RES", kCorvexType, 58713, {"usb=true", "wifi=false", "eth=true"}));
    m_hostFiles.WriteIni(std::string("[Zanvi]\r\nDevice=srv[") + c.selection + "]\r\n");

    HostRun resolve = m_pc.Host({L"resolve", L"--source", L"ini"});
    ASSERT_TRUE(resolve.finished);
    EXPECT_EQ(0u, resolve.exitCode) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, "Address: " + VciAddress())) << resolve.output;
    EXPECT_TRUE(HasLine(resolve, std::string("Port: ") + c.port)) << resolve.output;
}

INSTANTIATE_TEST_SUITE_P(UsbAndEthernet, ResolverOnRealPeer, ::testing::Values(
    ResolveCase{"RP-RES._zeb_vci._tcp.local,58713,usb", "58713"},
    ResolveCase{"RP-RES._zeb_vci._tcp.local,58713,eth", "58713"}));

TEST_F(RealPeerTest, SelectionThatIsNotAnnouncedEndsInErrorWithinItsBudget)
{
    ASSERT_TRUE(m_peer.Announce("RP-OTHER", kCorvexType, 58713, {"usb=true", "wifi=false", "eth=false"}));
    const DWORD start = GetTickCount();
    HostRun resolve = m_pc.Host({L"resolve", L"RP-ABSENT._zeb_vci._tcp.local,58713,usb"});
    const DWORD elapsedMs = GetTickCount() - start;
    ASSERT_TRUE(resolve.finished);
    EXPECT_NE(0u, resolve.exitCode) << resolve.output;
    EXPECT_NE(std::string::npos, resolve.output.find("RS_Error")) << resolve.output;
    EXPECT_EQ(std::string::npos, resolve.output.find("RS_Ready")) << resolve.output;
    EXPECT_EQ(std::string::npos, resolve.output.find("Address:")) << resolve.output;
    // The USB budget is 15 s; the host's start and end under Wine add a few seconds.
    EXPECT_LT(elapsedMs, 30000u);
}

TEST_F(RealPeerTest, DoctorNamesTheUsbAdapterAndTheAnnouncedVci)
{
    ASSERT_TRUE(m_peer.Announce("RP-DOC", kCorvexType, 58713, {"usb=true", "wifi=false", "eth=false"}));
    HostRun doctor = m_pc.Host({L"doctor", L"--seconds", L"3"});
    ASSERT_TRUE(doctor.finished);
    std::string usbLine, adapterLine;
    for (const std::string& line : doctor.Lines()) {
        if (line.find("USB link (Remote NDIS): adapter ") != std::string::npos) usbLine = line;
        if (line.find(UsbAdapterName()) != std::string::npos && adapterLine.empty()) adapterLine = line;
    }
    ASSERT_FALSE(usbLine.empty()) << doctor.output;
    ASSERT_FALSE(adapterLine.empty()) << doctor.output;
    // The adapter that the USB line names is the veth whose name the survey lists.
    const std::string index = usbLine.substr(usbLine.rfind(' ') + 1);
    std::istringstream adapterWords(adapterLine);
    std::string adapterIndex;
    adapterWords >> adapterIndex;
    EXPECT_EQ(index, adapterIndex) << doctor.output;
    EXPECT_NE(std::string::npos,
              doctor.output.find("RP-DOC (_zeb_vci._tcp): announced on adapter " + index + " (USB link)"))
        << doctor.output;
    EXPECT_NE(std::string::npos, doctor.output.find("address " + VciAddress())) << doctor.output;
}

}  // namespace
