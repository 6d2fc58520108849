#include "doctor.h"

#include <windows.h>

#include <memory>

#include "doctor_report.h"
#include "doctor_sections.h"
#include "exit_codes.h"
#include "host_output.h"
#include "plugin_library.h"
#include "run_poller.h"
#include "service_text.h"

namespace {

// Once the browse time is over, how long the answers to questions already asked may take.
const DWORD kAnswerGraceMs = 2000;

// The file the report is saved in, created before anything is looked at so that a bad name
// costs no waiting.
class CReportFile {
public:
    CReportFile() = default;
    ~CReportFile()
    {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    }
    CReportFile(const CReportFile&) = delete;
    CReportFile& operator=(const CReportFile&) = delete;
    bool Create(const std::wstring& path)
    {
        m_file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        m_error = GetLastError();
        return m_file != INVALID_HANDLE_VALUE;
    }
    bool Write(const std::string& text)
    {
        DWORD written = 0;
        BOOL ok = WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        m_error = GetLastError();
        return ok && written == text.size();
    }
    std::wstring Error() const { return SystemErrorText(m_error) + L" (error " + std::to_wstring(m_error) + L")"; }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    DWORD m_error = 0;
};

// "Made on WORKSHOP-PC, 2024-05-17 09:30:12": for a report that travels with a support ticket.
std::string MadeWhereAndWhen()
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(computer, &size)) computer[0] = L'\0';
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Format("Made on %s, %04u-%02u-%02u %02u:%02u:%02u", ToDisplayText(computer).c_str(),
                  unsigned{now.wYear}, unsigned{now.wMonth}, unsigned{now.wDay}, unsigned{now.wHour},
                  unsigned{now.wMinute}, unsigned{now.wSecond});
}

std::string ResultText(const SelectionCheck (&hosts)[2], bool selectionResolves, bool runtimeStarts)
{
    std::string text = "Result: ";
    if (selectionResolves && runtimeStarts)
        return text + "a saved selection resolves and the update runtime loads (exit code 0)";
    if (!selectionResolves) {
        const bool saved = hosts[0].saved.found || hosts[1].saved.found;
        text += saved ? "no saved selection resolves (see 4)" : "no host has a saved selection (see 4)";
    }
    if (!selectionResolves && !runtimeStarts) text += " and ";
    if (!runtimeStarts) text += "the update runtime does not load (see 5)";
    return text + " (exit code 1)";
}

}  // namespace

int RunDoctor(const HostOptions& options)
{
    CReportFile file;
    if (!options.reportFile.empty() && !file.Create(options.reportFile))
        return ReportFailure(kExitUsage, L"cannot create the report file " + options.reportFile + L": " + file.Error());

    CDoctorReport report;
    const std::wstring folder = options.pluginDir.empty() ? ProgramFolder() : options.pluginDir;
    report.Title("zanvi_host doctor: why a VCI is or is not found");
    report.Title(MadeWhereAndWhen());

    CDnssdLibrary dnssd;
    std::unique_ptr<CVciSurvey> survey;
    ReportDnssdLibrary(report, folder, dnssd, survey);

    const AdapterSurvey adapters = SurveyAdapters();
    ReportAdapters(report, adapters);

    const SelectionCheck hosts[2] = {
        CheckSelection("Corvex host", "[Zanvi] Device", ReadIniSelection()),
        CheckSelection("Bay Steward host", "VCIServiceInstance", ReadRegistrySelection()),
    };
    bool interrupted = false;
    if (survey) {
        // Saved VCIs are resolved as the resolver resolves them, announced or not.
        for (const SelectionCheck& host : hosts)
            if (host.parsed) survey->Want(host.name, host.type, host.domain);
        interrupted = !survey->Run(options.browseSeconds * 1000, kAnswerGraceMs, ConsoleInterrupted);
    }
    ReportAnnouncedVcis(report, survey.get(), adapters, options.browseSeconds, interrupted);
    const bool selectionResolves = ReportSelections(report, hosts, survey.get(), adapters);
    const bool runtimeStarts = ReportRuntime(report);
    report.Result(ResultText(hosts, selectionResolves, runtimeStarts));

    if (!options.reportFile.empty() && !file.Write(report.Text()))
        return ReportFailure(kExitRunFailed, L"cannot write the report file " + options.reportFile + L": " +
                                                 file.Error());
    return selectionResolves && runtimeStarts ? kExitSuccess : kExitRunFailed;
}
