#include "selector_bench.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "remote_tree.h"
#include "samples.h"
#include "steering_pipe_client.h"
#include "window_probe.h"

namespace {

const wchar_t kTitle[] = L"Zanvi Selector - Corvex";
const int kTreeId = 108;
const char kMeasured[] = "BENCH-X";
const wchar_t kMeasuredText[] = L"BENCH-X";
// Each listed VCI offers two links: a row and two link items in the tree.
const int kItemsPerVci = 3;
// Reading the item count costs the selector one message; 5 ms is fine against its 250 ms tick.
const DWORD kPollMs = 5;
// The pause before a removal reaches any phase of the tick (250 ms) and the browse pass
// (310 ms), so that the samples do not lock onto the selector's own loops.
const int kMaxPauseMs = 560;
// The design's tick and its re-query of all names on the tenth tick with nothing queued.
const double kTickMs = 250;
const int kRequeueTicks = 10;
// After the measured VCI's links are shown, its removal is shown within this time.
const double kRemovalShownMs = 1500;
// Rows the selector lists at most.
const size_t MAX_VCIS_SHOWN = 20;

// The VCIs listed before the measured one, and the measured one, hidden until announced. A
// withdrawn VCI's removal reaches the browse at once, so that removal counts from the call.
std::string Scenario(int vcis)
{
    std::string text = "goodbye-delay 0\n";
    auto instance = [&text](const std::string& name, bool hidden) {
        text += "instance " + name + " _zeb_vci._tcp local.\n  interfaces 2\n" +
                "  txt \"usb=true\" \"wifi=true\" \"eth=false\"\n" + (hidden ? "  hidden\n" : "");
    };
    for (int i = 1; i < vcis; ++i) {
        char name[16];
        std::snprintf(name, sizeof(name), "VCI-%02d", i);
        instance(name, false);
    }
    instance(kMeasured, true);
    return text;
}

bool WriteText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    CloseHandle(file);
    return ok;
}

// The selector program, ended by Cancel (or at last terminated) when the scope ends.
class SelectorProcess {
public:
    SelectorProcess(const std::wstring& folder, const std::wstring& scenario, const CSteeringPipe& pipe)
    {
        // The child takes both from this process's environment, which then drops them again.
        SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", scenario.c_str());
        SetEnvironmentVariableW(L"ZANVI_DNSSD_STEERING_PIPE", pipe.Name().c_str());
        std::wstring command = L"\"" + folder + L"\\ZanviSelector.exe\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            folder.c_str(), &startup, &m_process))
            m_process = {};
        SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", nullptr);
        SetEnvironmentVariableW(L"ZANVI_DNSSD_STEERING_PIPE", nullptr);
    }
    ~SelectorProcess()
    {
        if (!m_process.hProcess) return;
        if (m_hDialog) PostMessageW(m_hDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (WaitForSingleObject(m_process.hProcess, 15000) != WAIT_OBJECT_0)
            TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    SelectorProcess(const SelectorProcess&) = delete;
    SelectorProcess& operator=(const SelectorProcess&) = delete;

    // The program's own dialog once it is shown; null when it did not come.
    HWND WaitForDialog()
    {
        if (!m_process.hProcess) return nullptr;
        PollUntil([this] {
            HWND hDialog = FindWindowW(L"#32770", kTitle);
            DWORD owner = 0;
            if (hDialog) GetWindowThreadProcessId(hDialog, &owner);
            if (owner == m_process.dwProcessId && IsWindowVisible(hDialog)) m_hDialog = hDialog;
            return m_hDialog != nullptr;
        }, 30000, 20);
        return m_hDialog;
    }

private:
    PROCESS_INFORMATION m_process = {};
    HWND m_hDialog = nullptr;
};

// The selector started on a scenario file of its own, the dnssd stand-in steered through a
// pipe; ended (Cancel) before the pipe is closed.
class SteeredSelector {
public:
    // Null once the dialog is shown and the stand-in has connected, else what went wrong.
    const char* Start(const std::wstring& folder, const std::wstring& scenario, const std::string& text)
    {
        if (!WriteText(scenario, text)) return "cannot write the scenario";
        if (!m_pipe.Created()) return "cannot create the steering pipe";
        m_selector.emplace(folder, scenario, m_pipe);
        m_hDialog = m_selector->WaitForDialog();
        if (!m_hDialog) return "no dialog";
        if (!m_pipe.WaitConnected(5000)) return "the dnssd stand-in did not connect";
        return nullptr;
    }
    CSteeringPipe& Pipe() { return m_pipe; }
    HWND Dialog() const { return m_hDialog; }

private:
    CSteeringPipe m_pipe;
    std::optional<SelectorProcess> m_selector;
    HWND m_hDialog = nullptr;
};

class TreeWatch {
public:
    explicit TreeWatch(HWND hTree) : m_hTree(hTree), m_reader(hTree) {}
    bool Ready() const { return m_reader.Ready(); }
    int Count() const { return static_cast<int>(TreeView_GetCount(m_hTree)); }
    // The measured VCI's row with that many links under it (-1: no row at all).
    bool Shows(int links) const
    {
        HTREEITEM hRow = FindRoot(m_hTree, m_reader, kMeasuredText);
        if (!hRow) return links < 0;
        int count = 0;
        for (HTREEITEM h = TreeView_GetChild(m_hTree, hRow); h; h = TreeView_GetNextSibling(m_hTree, h))
            ++count;
        return count == links;
    }
    // Milliseconds from since until the tree holds items items, read as the measured VCI with
    // links links; -1 when that did not come within timeoutMs. The count is cheap to read; the
    // texts are read once it matches, and the time is that of the count.
    double WaitFor(double since, int items, int links, DWORD timeoutMs) const
    {
        double at = -1;
        PollUntil([&] {
            if (Count() != items) return false;
            double seen = NowMs();
            if (!Shows(links)) return false;
            at = seen;
            return true;
        }, timeoutMs, kPollMs);
        return at < 0 ? -1 : at - since;
    }

private:
    HWND m_hTree;
    RemoteItemReader m_reader;
};

}  // namespace

int RunSelectorBench(const std::wstring& folder, int vcis, int repetitions)
{
    if (vcis < 1 || vcis > 20 || repetitions < 1) return Fail("selector: 1 to 20 VCIs, 1 repetition or more");
    SteeredSelector selector;
    if (const char* why = selector.Start(folder, folder + L"\\bench_dnssd_scenario.txt", Scenario(vcis)))
        return Fail((std::string("selector: ") + why).c_str());
    CSteeringPipe& pipe = selector.Pipe();
    const HWND hDialog = selector.Dialog();
    TreeWatch tree(GetDlgItem(hDialog, kTreeId));
    if (!tree.Ready()) return Fail("selector: cannot read the tree");
    // The window's answers: the worst WM_NULL round trip from the announcement until the row
    // is gone (three rebuilds of the tree), and over the quiet wait before it.
    CWindowProbe probe(hDialog);
    if (!probe.Running()) return Fail("selector: cannot probe the window");

    const int others = (vcis - 1) * kItemsPerVci;
    // The VCIs listed before are shown with their links first: one TXT query each, two ticks apart.
    if (tree.WaitFor(NowMs(), others, -1, 10000 + vcis * 1000) < 0)
        return Fail("selector: the listed VCIs did not show their links");

    // A new VCI is queued behind the re-query of the other names when it comes while that runs.
    // When the measured VCI's links are shown, its own query was the last one: the other names
    // are queued again 8 ticks later, and then every 2 (vcis - 1) + 9 ticks (two ticks per
    // query). Each announcement comes at its own share of that cycle, in shuffled order, so that
    // the samples cover it evenly; a first round only sets the cycle going and is not printed.
    const double cycleMs = kTickMs * (vcis > 1 ? 2 * (vcis - 1) + kRequeueTicks - 1 : kRequeueTicks);
    std::minstd_rand random(static_cast<unsigned>(vcis));
    std::vector<int> shares(repetitions);
    std::iota(shares.begin(), shares.end(), 0);
    std::shuffle(shares.begin(), shares.end(), random);
    std::uniform_real_distribution<double> withinShare(0, 1);
    std::uniform_int_distribution<int> pause(0, kMaxPauseMs);

    const std::string add = std::string("add ") + kMeasured + " _zeb_vci._tcp local. 2";
    const std::string remove = std::string("remove ") + kMeasured + " _zeb_vci._tcp local. 0";
    const std::string suffix = "." + std::to_string(vcis);
    double linksShown = -1;
    for (int i = -1; i < repetitions; ++i) {
        if (i >= 0) {
            double at = linksShown + kRemovalShownMs + (shares[i] + withinShare(random)) * cycleMs / repetitions;
            double now = NowMs();
            if (at > now) Sleep(static_cast<DWORD>(at - now));
        }
        double quiet = probe.TakeWorst();
        if (pipe.Send(add) != "0") return Fail("selector: the announcement was refused");
        double announced = NowMs();
        double row = tree.WaitFor(announced, others + 1, 0, 10000);
        // Queued behind the other names' queries at worst: two ticks each.
        double links = row < 0 ? -1 : tree.WaitFor(announced, others + kItemsPerVci, 2, 20000 + vcis * 1000);
        if (row < 0 || links < 0) return Fail("selector: the announced VCI was not shown with its links");
        linksShown = announced + links;
        if (i >= 0) {
            PrintSample(("selector.row" + suffix).c_str(), row);
            PrintSample(("selector.links" + suffix).c_str(), links);
        }

        Sleep(pause(random));
        if (pipe.Send(remove) != "0") return Fail("selector: the removal was refused");
        double removed = NowMs();
        double gone = tree.WaitFor(removed, others, -1, 10000);
        if (gone < 0) return Fail("selector: the removed VCI's row stayed");
        double rebuilds = probe.TakeWorst();
        if (i >= 0) {
            PrintSample(("selector.gone" + suffix).c_str(), gone);
            PrintSample(("selector.wmnull" + suffix).c_str(), rebuilds);
            PrintSample(("selector.wmnull" + suffix + ".bare").c_str(), quiet);
        }
    }
    // The stand-in's pipe thread ends before the selector releases the library.
    pipe.Close();
    return 0;
}

namespace {

// The churn's network: every instance hidden until announced through the pipe; one in four
// goes silent at the selector's first reconfirm, one in ten has a dot in its name, which no
// TXT answer ever matches (its question stays unanswered).
std::string ChurnName(int i)
{
    char name[24];
    std::snprintf(name, sizeof(name), i % 10 == 3 ? "CH-%03d.X" : "CH-%03d", i);
    return name;
}

std::string ChurnScenario(int instances)
{
    std::string text;
    for (int i = 0; i < instances; ++i)
        text += "instance " + ChurnName(i) + " _zeb_vci._tcp local.\n  interfaces 2\n" +
                "  txt \"usb=true\" \"wifi=true\"\n  hidden\n" +
                (i % 4 == 1 ? "  flush-on-reconfirm\n" : "");
    return text;
}

std::set<std::string> RootTexts(HWND hTree, const RemoteItemReader& reader)
{
    std::set<std::string> names;
    for (HTREEITEM h = TreeView_GetRoot(hTree); h; h = TreeView_GetNextSibling(hTree, h)) {
        std::string name;
        for (wchar_t c : reader.Text(h)) name += static_cast<char>(c < 128 ? c : '?');
        names.insert(name);
    }
    return names;
}

}  // namespace

int RunSelectorChurn(const std::wstring& folder, int instances, int seconds)
{
    if (instances < 1 || instances > 999 || seconds < 1) return Fail("churn: 1 to 999 instances, 1 s or more");
    SteeredSelector selector;
    if (const char* why = selector.Start(folder, folder + L"\\churn_dnssd_scenario.txt", ChurnScenario(instances)))
        return Fail((std::string("churn: ") + why).c_str());
    CSteeringPipe& pipe = selector.Pipe();
    const HWND hDialog = selector.Dialog();
    HWND hTree = GetDlgItem(hDialog, kTreeId);
    RemoteItemReader reader(hTree);
    if (!reader.Ready()) return Fail("churn: cannot read the tree");
    CWindowProbe probe(hDialog);
    if (!probe.Running()) return Fail("churn: cannot probe the window");

    auto command = [](const char* verb, int i) {
        return std::string(verb) + " " + ChurnName(i) + " _zeb_vci._tcp local. " +
               (verb[0] == 'a' ? "2" : "0");
    };
    std::minstd_rand random(27);
    std::uniform_int_distribution<int> pick(0, instances - 1), gap(10, 90), within(0, 900),
        percent(0, 99);
    std::vector<bool> announced(instances, false);
    std::vector<double> readdAt(instances, -1);  // withdrawn, announced again before its goodbye
    int events = 0, crossings = 0, repeats = 0;
    // Per phase (0 churn, 1 quiet): the worst round trip and the probe windows with a stall.
    int phase = 0, over50[2] = {0, 0}, over100[2] = {0, 0};
    double worst[2] = {0, 0};
    auto takeProbe = [&] {
        double w = probe.TakeWorst();
        worst[phase] = std::max(worst[phase], w);
        if (w > 50) ++over50[phase];
        if (w > 100) ++over100[phase];
    };
    const double end = NowMs() + seconds * 1000.0;
    while (NowMs() < end) {
        for (int i = 0; i < instances; ++i) {
            if (readdAt[i] < 0 || readdAt[i] > NowMs()) continue;
            if (pipe.Send(command("add", i)) != "0") return Fail("churn: an announcement was refused");
            readdAt[i] = -1;
            announced[i] = true;
            ++events;
        }
        int i = pick(random);
        // In the last quarter the network thins out to at most 15 VCIs, so that all of them
        // must be listed at the end.
        const int told = static_cast<int>(std::count(announced.begin(), announced.end(), true));
        if (end - NowMs() < seconds * 250.0 && told > 15)
            while (!announced[i]) i = pick(random);
        if (readdAt[i] < 0 && announced[i] && percent(random) < 10) {
            // Announced again while announced: a VCI that was flushed after a check is back.
            if (pipe.Send(command("add", i)) != "0") return Fail("churn: an announcement was refused");
            ++events;
            ++repeats;
        } else if (readdAt[i] < 0) {
            bool add = !announced[i];
            if (pipe.Send(command(add ? "add" : "remove", i)) != "0") return Fail("churn: a change was refused");
            announced[i] = add;
            ++events;
            // One withdrawal in five is taken back within the goodbye delay.
            if (!add && percent(random) < 20) {
                readdAt[i] = NowMs() + within(random);
                ++crossings;
            }
        }
        Sleep(static_cast<DWORD>(gap(random)));
        takeProbe();  // a window of one gap each: counts the stalls, not the round trips
    }
    for (int i = 0; i < instances; ++i) {
        if (readdAt[i] < 0) continue;
        if (pipe.Send(command("add", i)) != "0") return Fail("churn: an announcement was refused");
        announced[i] = true;
    }

    // Quiet: the goodbyes take effect (1 s), every listed name is asked for again (at most 20
    // names, two ticks each, an unanswered one eight, and the re-query's ten), and the rows
    // are drawn. Then the rows must be the instances that browses see, or 20 of them.
    takeProbe();
    phase = 1;
    const double quietFrom = NowMs();
    std::set<std::string> seen;
    int silenced = 0, told = 0;
    for (int i = 0; i < instances; ++i) {
        told += announced[i] ? 1 : 0;
    }
    auto readSeen = [&] {
        seen.clear();
        silenced = 0;
        for (int i = 0; i < instances; ++i) {
            std::string answer = pipe.Send("seen " + ChurnName(i) + " _zeb_vci._tcp local. 0");
            if (answer == "1") seen.insert(ChurnName(i));
            else if (announced[i]) ++silenced;
        }
    };
    std::set<std::string> rows;
    bool settled = false;
    while (!settled && NowMs() - quietFrom < 120000) {
        Sleep(1000);
        takeProbe();
        if (NowMs() - quietFrom < 45000) continue;
        readSeen();
        rows = RootTexts(hTree, reader);
        bool allSeen = true;
        for (const std::string& row : rows) allSeen = allSeen && seen.count(row) > 0;
        settled = allSeen && rows.size() == std::min<size_t>(seen.size(), MAX_VCIS_SHOWN);
    }
    takeProbe();
    std::printf("churn: %d instances, %d s, %d changes (%d withdrawals taken back within the goodbye delay, "
                "%d announcements of announced VCIs)\n",
                instances, seconds, events, crossings, repeats);
    std::printf("churn: announced at the end %d, of which seen by browses %zu (%d silent VCIs flushed after a check)\n",
                told, seen.size(), silenced);
    std::printf("churn: rows %zu, %s after %.0f s of quiet\n", rows.size(),
                settled ? "equal to the announced set (or 20 of it)" : "NOT equal to the announced set",
                (NowMs() - quietFrom) / 1000);
    for (const std::string& name : seen)
        if (!rows.count(name) && seen.size() <= MAX_VCIS_SHOWN) std::printf("churn: missing %s\n", name.c_str());
    for (const std::string& row : rows)
        if (!seen.count(row)) std::printf("churn: extra %s\n", row.c_str());
    std::printf("churn: worst WM_NULL round trip while churning %.1f ms (%d stalls over 50 ms, %d over 100 ms "
                "in %.0f s); while quiet %.1f ms (%d over 50 ms, %d over 100 ms in %.0f s)\n",
                worst[0], over50[0], over100[0], seconds * 1.0, worst[1], over50[1], over100[1],
                (NowMs() - quietFrom) / 1000);
    pipe.Close();
    return settled && over100[0] + over100[1] == 0 ? 0 : 1;
}

