// 1. The DNS-SD library: where the deliverables look for it, and whether a browse starts.
#include <windows.h>

#include "doctor_sections.h"
#include "file_version.h"
#include "plugin_library.h"
#include "service_text.h"

const HostServiceType kHostServiceTypes[2] = {
    {"_zeb_vci._tcp", "Corvex host"},
    {"_wyn_vci._tcp", "Bay Steward host"},
};

namespace {

bool IsFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Presence(const std::wstring& folder, const wchar_t* name)
{
    return IsFile(PathInFolder(folder, name)) ? "present" : "missing";
}

}  // namespace

void ReportDnssdLibrary(CDoctorReport& report, const std::wstring& folder, CDnssdLibrary& library,
                        std::unique_ptr<CVciSurvey>& survey)
{
    report.Heading("1. DNS-SD library");
    const std::string shownFolder = ToDisplayText(folder);
    const std::wstring path = PathInFolder(folder, L"dnssd.dll");
    report.Line("Looked for: " + ToDisplayText(path) + ", beside the deliverables (ZanviSelector.exe " +
                Presence(folder, L"ZanviSelector.exe") + ", ZanviResolver.dll " +
                Presence(folder, L"ZanviResolver.dll") + ")");
    if (!IsFile(path)) {
        report.Line("Found: no");
        report.Problem("dnssd.dll is not in " + shownFolder,
                       "put the platform's DNS-SD client library dnssd.dll there, beside ZanviSelector.exe and "
                       "ZanviResolver.dll");
        return;
    }
    std::wstring error;
    if (!library.Load(folder, error)) {
        report.Line("Found: yes; loads: no");
        report.Problem("dnssd.dll does not load (" + ToDisplayText(error) + ")",
                       "install the platform's DNS-SD client library again, built for the deliverables' 32 or "
                       "64 bits");
        return;
    }
    const std::string version = FileVersionText(library.Path());
    report.Line("Found: yes, " + (version.empty() ? std::string("no version record") : "file version " + version) +
                "; loads: yes");
    if (!library.Missing().empty()) {
        std::string names;
        for (const char* name : library.Missing()) names += (names.empty() ? "" : ", ") + std::string(name);
        report.Line("Calls the selector and the resolver make: missing " + names);
        report.Problem("dnssd.dll lacks " + names + ", so it is not a DNS-SD client library the deliverables "
                       "can use",
                       "put the platform's DNS-SD client library dnssd.dll in its place");
        return;
    }
    report.Line("Calls the selector and the resolver make: all present");

    survey.reset(new CVciSurvey(library.Calls()));
    std::string failure;
    for (const HostServiceType& service : kHostServiceTypes) {
        DNSServiceErrorType result = survey->Browse(service.type);
        const std::string outcome =
            result == kDNSServiceErr_NoError ? "started" : "does not start, " + DnssdErrorText(result);
        report.Line(Format("Browse for %s (%s): %s", service.type, service.host, outcome.c_str()));
        if (result != kDNSServiceErr_NoError && failure.empty()) failure = DnssdErrorText(result);
    }
    if (failure.empty()) {
        report.Ok();
        return;
    }
    report.Problem("the browse does not start: " + failure,
                   "start the DNS-SD service, or install the platform's DNS-SD service if it is missing");
    // Without any browse the answers that follow would blame the VCIs for the service.
    if (!survey->Browsing()) survey.reset();
}
