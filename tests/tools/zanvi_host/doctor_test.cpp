// zanvi_host doctor in the demo's simulated world (both stand-ins, the demo network's adapters):
// the verdict of each section and the exit code, on a PC where all is well and for the usual
// reasons why a workshop's VCI is not found.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host_process.h"
#include "host_stage.h"
#include "runtime_fixture.h"
#include "test_files.h"

namespace {

const char kChosenDemo01OnUsb[] = "[Zanvi]\r\nDevice=srv[DEMO-01._zeb_vci._tcp.local,58713,usb]\r\n";

std::wstring DemoFile(const wchar_t* name) { return std::wstring(ZANVI_DEMO_DIR) + L"\\" + name; }

// A verdict line as "OK", or its problem without the next step (which must be there).
std::string Problem(const std::string& verdict)
{
    const std::string prefix = "   Verdict: ";
    const std::string step = ". Next step: ";
    if (verdict.compare(0, prefix.size(), prefix) != 0) return "not a verdict: " + verdict;
    std::string text = verdict.substr(prefix.size());
    if (text == "OK") return text;
    size_t at = text.find(step);
    if (at == std::string::npos || at + step.size() >= text.size()) return "no next step: " + text;
    return text.substr(0, at);
}

// The demo's world: its VCIs behind both stand-ins, dnssd.dll beside the deliverables, the
// runtime registered, and a Corvex host that chose DEMO-01 on USB (the Bay Steward host none).
class DoctorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", DemoFile(L"dnssd_scenario.txt").c_str());
        SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", DemoFile(L"drx_runtime.scenario").c_str());
        ASSERT_TRUE(CopyInto(SimDir() + L"\\dnssd.dll", m_deliverables.Path()));
        m_runtime.reset(new RuntimeRegistration(StandInPath()));
        m_hostFiles.RemoveRegistry();
        m_hostFiles.WriteIni(kChosenDemo01OnUsb);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"ZANVI_DNSSD_SCENARIO", nullptr);
        SetEnvironmentVariableW(L"ZANVI_DRX_SCENARIO", nullptr);
    }

    // Runs the doctor over the deliverables' folder; the problems of its five sections in order.
    std::vector<std::string> Doctor(std::vector<std::wstring> args = {})
    {
        args.insert(args.end(), {L"doctor", L"--seconds", L"1", L"--dir", m_deliverables.Path()});
        m_run = RunHostProgram(TestDir() + L"\\demo_host\\zanvi_host.exe", args, m_deliverables.Path());
        std::vector<std::string> problems;
        for (const std::string& line : m_run.Lines())
            if (line.find("Verdict:") != std::string::npos) problems.push_back(Problem(line));
        return problems;
    }

    TempDir m_deliverables;
    SavedSelectionStage m_hostFiles;
    std::unique_ptr<RuntimeRegistration> m_runtime;
    HostRun m_run;
};

TEST_F(DoctorTest, AllIsWellWhenTheSavedVciAnswersOnItsLinkAndTheRuntimeLoads)
{
    const std::wstring reportFile = m_deliverables.File(L"ticket.txt");
    std::vector<std::string> problems = Doctor({L"--out", reportFile});
    ASSERT_TRUE(m_run.finished);
    EXPECT_EQ(m_run.exitCode, 0u) << m_run.output;
    EXPECT_EQ(problems, std::vector<std::string>(5, "OK")) << m_run.output;
    EXPECT_NE(m_run.output.find("Resolves: 169.254.10.1 port 58713 on adapter 2 (USB link)"), std::string::npos)
        << m_run.output;
    // The saved report is the printed one, line for line.
    const std::string saved = ReadWholeFile(reportFile);
    std::string printed = m_run.output;
    for (size_t at; (at = printed.find("\r\n")) != std::string::npos;) printed.erase(at, 1);
    for (size_t at = 0; (at = printed.find('\n', at)) != std::string::npos; at += 2) printed.insert(at, 1, '\r');
    EXPECT_EQ(saved, printed);
}

TEST_F(DoctorTest, SavedVciThatIsNotAnnouncedIsNamedAsSuch)
{
    m_hostFiles.WriteIni("[Zanvi]\r\nDevice=srv[DEMO-09._zeb_vci._tcp.local,58713,usb]\r\n");
    std::vector<std::string> problems = Doctor();
    EXPECT_EQ(m_run.exitCode, 1u) << m_run.output;
    EXPECT_EQ(problems, (std::vector<std::string>{"OK", "OK", "OK",
                                                  "the Corvex host's saved VCI DEMO-09 is not announced at all",
                                                  "OK"}))
        << m_run.output;
}

TEST_F(DoctorTest, SavedVciAnnouncedOnlyOnAnotherLinkIsNamedAsSuch)
{
    // DEMO-02 answers over Ethernet only; the choice says USB.
    m_hostFiles.WriteIni("[Zanvi]\r\nDevice=srv[DEMO-02._zeb_vci._tcp.local,58713,usb]\r\n");
    std::vector<std::string> problems = Doctor();
    EXPECT_EQ(m_run.exitCode, 1u) << m_run.output;
    EXPECT_EQ(problems, (std::vector<std::string>{"OK", "OK", "OK",
                                                  "the Corvex host's saved VCI DEMO-02 is announced on another "
                                                  "link, not on usb",
                                                  "OK"}))
        << m_run.output;
}

TEST_F(DoctorTest, MissingDnssdLibraryIsNamedWithTheFolderItBelongsIn)
{
    ASSERT_TRUE(DeleteFileW(m_deliverables.File(L"dnssd.dll").c_str()));
    std::vector<std::string> problems = Doctor();
    EXPECT_EQ(m_run.exitCode, 1u) << m_run.output;
    EXPECT_EQ(problems,
              (std::vector<std::string>{"dnssd.dll is not in " + Narrow(m_deliverables.Path()), "OK",
                                        "the VCIs cannot be looked for without a working DNS-SD library",
                                        "the Corvex host's saved VCI cannot be checked without a working DNS-SD "
                                        "library",
                                        "OK"}))
        << m_run.output;
}

TEST_F(DoctorTest, UnregisteredRuntimeFailsTheRunAlthoughTheSelectionResolves)
{
    m_runtime.reset();
    std::vector<std::string> problems = Doctor();
    EXPECT_EQ(m_run.exitCode, 1u) << m_run.output;
    EXPECT_EQ(problems, (std::vector<std::string>{"OK", "OK", "OK", "OK",
                                                  "no VCI runtime is registered for the update plug-in"}))
        << m_run.output;
}

}  // namespace
