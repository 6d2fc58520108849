// The single-instance guard: in this process, and across real processes started from the
// selector_probe program.
#include "instance_checker.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <system_error>

#include "child_process.h"
#include "main_window.h"
#include "selector_app.h"
#include "selector_fixtures.h"
#include "test_files.h"
#include "test_thread.h"

namespace {

const wchar_t kCorvexName[] = L"{098B847E-C832-4b63-80D4-C60435E12501}";
const wchar_t kBayStewardName[] = L"{8EFDE6E3-5327-4921-ACE0-8DB657457BF4}";
const DWORD kWaitMs = 20000;

std::wstring UniqueName(const wchar_t* what)
{
    static std::atomic<unsigned> counter{0};
    return std::wstring(L"ZanviTest_") + what + L"_" + std::to_wstring(GetCurrentProcessId()) +
           L"_" + std::to_wstring(counter++);
}

// True when another thread can take the named mutex right now.
bool MutexIsFree(const std::wstring& name)
{
    bool free = false;
    TestThread([&] {
        HANDLE h = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
        if (!h) return;
        DWORD result = WaitForSingleObject(h, 0);
        free = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        if (free) ReleaseMutex(h);
        CloseHandle(h);
    }).Join();
    return free;
}

// A plain top-level window standing in for the selection dialog.
class TestWindow : public CWnd {
public:
    TestWindow()
    {
        m_hWnd = CreateWindowExW(0, L"STATIC", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() override { DestroyWindow(m_hWnd); }
};

TEST(InstanceCheckerTest, PublishingReleasesTheStartLockAndShowsTheWindowToOthers)
{
    const std::wstring name = UniqueName(L"guard");
    TestWindow window;
    ASSERT_NE(window.m_hWnd, nullptr);
    SetMainWindow(&window);

    CInstanceChecker first(name);
    EXPECT_EQ(first.BuildMappingName(), name + L"_CInstanceChecker_MMF");
    EXPECT_EQ(first.WindowToPublish(), window.m_hWnd);
    first.AcquireStartLock();
    EXPECT_TRUE(first.HoldsStartLock());
    EXPECT_FALSE(MutexIsFree(name));
    EXPECT_FALSE(first.IsAnotherInstanceRunning());

    EXPECT_TRUE(first.PublishWindow());
    EXPECT_FALSE(first.HoldsStartLock());
    EXPECT_TRUE(MutexIsFree(name));
    EXPECT_TRUE(first.IsAnotherInstanceRunning());
    EXPECT_FALSE(first.PublishWindow()) << "a published instance counts as another";

    CInstanceChecker second(name);
    second.AcquireStartLock();
    EXPECT_TRUE(second.IsAnotherInstanceRunning());
    EXPECT_EQ(second.BringOtherInstanceToFront(), window.m_hWnd);
    EXPECT_FALSE(second.HoldsStartLock());
    SetMainWindow(nullptr);
}

TEST(InstanceCheckerTest, WithoutAMainWindowZeroIsPublished)
{
    const std::wstring name = UniqueName(L"nowindow");
    SetMainWindow(nullptr);
    CInstanceChecker first(name);
    EXPECT_EQ(first.WindowToPublish(), nullptr);
    first.AcquireStartLock();
    EXPECT_TRUE(first.PublishWindow());

    CInstanceChecker second(name);
    EXPECT_EQ(second.BringOtherInstanceToFront(), nullptr);
    CInstanceChecker unrelated(UniqueName(L"unrelated"));
    EXPECT_FALSE(unrelated.IsAnotherInstanceRunning());
    EXPECT_EQ(unrelated.BringOtherInstanceToFront(), nullptr);
}

TEST(InstanceCheckerTest, SharedMemoryThatCannotBeCreatedKeepsTheStartLock)
{
    const std::wstring name = UniqueName(L"blocked");
    // An object of another kind holds the shared memory's name.
    CHandle squatter(CreateEventW(nullptr, TRUE, FALSE, (name + L"_CInstanceChecker_MMF").c_str()));
    ASSERT_TRUE(squatter);
    CInstanceChecker checker(name);
    checker.AcquireStartLock();
    EXPECT_FALSE(checker.PublishWindow());
    EXPECT_TRUE(checker.HoldsStartLock());
    EXPECT_FALSE(MutexIsFree(name));
}

TEST(InstanceCheckerTest, NameHeldByAnotherKindOfObjectEndsTheProgramWithAnError)
{
    CHandle squatter(CreateEventW(nullptr, TRUE, FALSE, kCorvexName));
    ASSERT_TRUE(squatter);
    EXPECT_THROW(CInstanceChecker checker(kCorvexName), std::system_error);

    MessageBoxRecorder boxes;
    ShellFoldersAt shell({});
    CZanviSelectorApp app;
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Zanvi Selector");
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_NE(boxes.Boxes()[0].text.find(L"single-instance guard"), std::wstring::npos);
}

// One guard run of selector_probe, ended (by its own quit event, else killed) when the object goes.
class Probe {
public:
    Probe(const std::wstring& guardName, DWORD delayMs = 0, bool minimise = false)
        : m_prefix(UniqueName(L"probe")), m_result(m_dir.File(L"result.txt")),
          m_locked(CreateEventW(nullptr, TRUE, FALSE, (m_prefix + L"_locked").c_str())),
          m_published(CreateEventW(nullptr, TRUE, FALSE, (m_prefix + L"_published").c_str())),
          m_quit(CreateEventW(nullptr, TRUE, FALSE, (m_prefix + L"_quit").c_str())),
          m_process(L"\"" + TestDir() + L"\\selector_probe.exe\" guard \"" + guardName + L"\" \"" +
                    m_result + L"\" " + m_prefix + L" " + std::to_wstring(delayMs) +
                    (minimise ? L" 1" : L" 0"))
    {
    }
    ~Probe()
    {
        // Asked to quit first; the child process ends it if it does not.
        SetEvent(m_quit.Get());
        m_process.Ended(kWaitMs);
    }

    bool Started() const { return m_process.Started(); }
    bool WaitLocked() const { return WaitForSingleObject(m_locked.Get(), kWaitMs) == WAIT_OBJECT_0; }
    bool WaitPublished() const
    {
        return WaitForSingleObject(m_published.Get(), kWaitMs) == WAIT_OBJECT_0;
    }
    bool HasPublished() const { return WaitForSingleObject(m_published.Get(), 0) == WAIT_OBJECT_0; }
    // Waits up to ms for the probe to end.
    bool Ended(DWORD ms) const { return m_process.Ended(ms); }
    bool Quit()
    {
        SetEvent(m_quit.Get());
        return Ended(kWaitMs);
    }

    // "first" or "second", and the window it published or found.
    std::string Role() const { return Field(0); }
    HWND Window() const
    {
        return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::stoull(Field(1))));
    }
    std::string Published() const { return Field(2); }

private:
    std::string Field(int index) const
    {
        std::istringstream in(ReadWholeFile(m_result));
        std::string field;
        for (int i = 0; i <= index; ++i)
            if (!(in >> field)) return "";
        return field;
    }

    TempDir m_dir;
    std::wstring m_prefix;
    std::wstring m_result;
    CHandle m_locked, m_published, m_quit;
    ChildProcess m_process;
};

TEST(InstanceGuardProcessTest, SecondStartRestoresAndReturnsTheFirstsWindow)
{
    const std::wstring name = UniqueName(L"twice");
    Probe first(name, 0, /*minimise=*/true);
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.WaitPublished());
    ASSERT_EQ(first.Role(), "first");
    EXPECT_EQ(first.Published(), "1");
    HWND hFirst = first.Window();
    EXPECT_TRUE(IsIconic(hFirst));

    Probe second(name);
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(second.Ended(kWaitMs));
    EXPECT_EQ(second.Role(), "second");
    EXPECT_EQ(second.Window(), hFirst);
    EXPECT_FALSE(IsIconic(hFirst)) << "the minimised first instance is restored";
    EXPECT_FALSE(first.Ended(0)) << "the first instance goes on";
}

TEST(InstanceGuardProcessTest, SecondStartWaitsWhileTheFirstIsStillStarting)
{
    const std::wstring name = UniqueName(L"starting");
    Probe first(name, /*delayMs=*/1500);
    ASSERT_TRUE(first.WaitLocked());
    Probe second(name);
    ASSERT_TRUE(second.Started());
    EXPECT_FALSE(second.Ended(500)) << "the second start waits for the first's window";
    ASSERT_TRUE(first.WaitPublished());
    ASSERT_TRUE(second.Ended(kWaitMs));
    EXPECT_EQ(second.Role(), "second");
    EXPECT_EQ(second.Window(), first.Window());
}

TEST(InstanceGuardProcessTest, AfterTheFirstEndsANewStartIsFirstAgain)
{
    const std::wstring name = UniqueName(L"again");
    {
        Probe first(name);
        ASSERT_TRUE(first.WaitPublished());
        ASSERT_TRUE(first.Quit());
    }
    Probe next(name);
    ASSERT_TRUE(next.WaitPublished());
    EXPECT_EQ(next.Role(), "first");
    EXPECT_EQ(next.Published(), "1");
}

TEST(InstanceGuardProcessTest, TheTwoVariantsDoNotBlockEachOther)
{
    // The Corvex selector is still starting (holding its start lock) and then runs.
    Probe corvex(kCorvexName, /*delayMs=*/3000);
    ASSERT_TRUE(corvex.WaitLocked());
    Probe bay(kBayStewardName);
    ASSERT_TRUE(bay.WaitPublished());
    EXPECT_EQ(bay.Role(), "first");
    EXPECT_FALSE(corvex.HasPublished()) << "the Bay Steward start did not wait for it";
    ASSERT_TRUE(corvex.WaitPublished());
    EXPECT_EQ(corvex.Role(), "first");
}

}  // namespace
