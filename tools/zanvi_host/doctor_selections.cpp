// 4. The hosts' saved selections: whether each parses, and whether its VCI answers on its link.
#include "doctor_sections.h"
#include "link_check.h"
#include "resolution.h"
#include "service_text.h"

namespace {

struct Outcome {
    bool resolves = false;
    std::string finding;  // the last line about the selection
    std::string problem;  // when it does not resolve
    std::string step;
};

std::string TxtLinks(const ServiceInstance& vci) { return vci.txtAnswered ? OfferedLinks(vci.links) : "unknown"; }

// A link of this kind exists on the PC (the USB link apart).
bool HasAdapterFor(const AdapterSurvey& adapters, EDesiredInterface link)
{
    if (link == DESIRED_USB) return adapters.usbIndex != -1;
    return adapters.HasType(link == DESIRED_WIFI ? kAdapterTypeWireless : kAdapterTypeEthernet);
}

std::string AdapterStep(EDesiredInterface link)
{
    if (link == DESIRED_USB) return FaultStep(ELinkFault::NoUsbAdapter);
    if (link == DESIRED_WIFI) return "plug in or enable the PC's Wi-Fi adapter, or choose another link in the selector";
    return "connect or enable the PC's Ethernet adapter, or choose another link in the selector";
}

Outcome Judge(const SelectionCheck& check, const CVciSurvey* survey, const AdapterSurvey& adapters)
{
    Outcome out;
    const std::string who = "the " + std::string(check.host) + "'s saved VCI";
    if (!survey) {
        out.finding = "Resolves: cannot be checked without a working DNS-SD library";
        out.problem = who + " cannot be checked without a working DNS-SD library";
        out.step = "see 1";
        return out;
    }
    const ServiceInstance* vci = survey->Find(check.name, check.type, check.domain);
    LinkCheck linkCheck;
    if (vci) linkCheck = CheckLink(*vci, check.link, adapters);
    if (vci && linkCheck.fault == ELinkFault::None) {
        out.resolves = true;
        out.finding = Format("Resolves: %s port %u on adapter %s", linkCheck.answer->ipv4.c_str(),
                             static_cast<unsigned>(linkCheck.answer->port),
                             AdapterLabel(adapters, linkCheck.answer->interfaceIndex).c_str());
        if (!vci->announced) out.finding += " (not announced now: the answer came from DNS-SD's cache)";
        return out;
    }
    // What went wrong, said once for the finding and once for the verdict.
    std::string what;
    std::string detail;
    if (!HasAdapterFor(adapters, check.link)) {
        what = "cannot be reached: there is no adapter for its link " + check.linkWord;
        out.step = AdapterStep(check.link);
    } else if (!vci || (!vci->announced && vci->answers.empty())) {
        what = "is not announced at all";
        out.step = "switch the VCI on and connect it, or choose one of the VCIs announced now (see 3) in the selector";
    } else if (linkCheck.fault == ELinkFault::NotOnUsbAdapter || linkCheck.fault == ELinkFault::Skipped) {
        what = "is announced on another link, not on " + check.linkWord;
        detail = " (its links: " + TxtLinks(*vci) + "; " + FaultText(linkCheck.fault, linkCheck) + ")";
        out.step = "connect the VCI over " + check.linkWord + ", or choose one of its links (" + TxtLinks(*vci) +
                   ") in the selector";
    } else {
        what = "cannot be resolved: " + FaultText(linkCheck.fault, linkCheck);
        out.step = FaultStep(linkCheck.fault);
    }
    out.finding = "Resolves: no, " + check.name + " " + what + detail;
    out.problem = who + " " + check.name + " " + what;
    return out;
}

}  // namespace

SelectionCheck CheckSelection(const char* host, const char* entry, const SavedSelection& saved)
{
    SelectionCheck check;
    check.host = host;
    check.entry = entry;
    check.saved = saved;
    if (!saved.found) return check;
    // The host's part first: the resolver takes the text without its srv[...] wrapping.
    std::wstring body;
    std::wstring error;
    if (!StripServiceWrapping(saved.text, body, error) || !ToAnsiText(body, check.body)) return check;
    check.parsed = ParseServiceInstanceName(check.body.c_str());
    if (!check.parsed) return check;
    check.name = g_szServiceName;
    check.type = g_szRegType;
    check.domain = g_szDomain;
    check.linkWord = g_szInterfaceField;
    check.link = DesiredInterfaceFor(g_szInterfaceField);
    return check;
}

bool ReportSelections(CDoctorReport& report, const SelectionCheck (&hosts)[2], const CVciSurvey* survey,
                      const AdapterSurvey& adapters)
{
    report.Heading("4. Saved selections");
    bool anyResolves = false;
    bool anySaved = false;
    CVerdict verdict;
    for (const SelectionCheck& check : hosts) {
        const std::string location = check.saved.location.empty() ? "(none)" : ToDisplayText(check.saved.location);
        report.Line(std::string(check.host) + ": " + location + ", " + check.entry);
        if (!check.saved.found) {
            report.Detail("No saved selection: " + ToDisplayText(check.saved.problem));
            continue;
        }
        anySaved = true;
        report.Detail("Text: " + ToDisplayText(check.saved.text));
        if (!check.parsed) {
            report.Detail("Parses: no, the resolver does not take it (it takes "
                          "srv[<word>-<serial>.<service>.<protocol>.<domain>,<port>,<usb|wifi|eth>])");
            verdict.Problem("the " + std::string(check.host) + "'s saved text is not one the resolver takes",
                            "choose the VCI again in the selector and save");
            continue;
        }
        report.Detail(Format("Parses: yes, instance %s, service type %s, domain %s, link %s (a %s run)",
                             check.name.c_str(), check.type.c_str(), check.domain.c_str(), check.linkWord.c_str(),
                             LinkName(check.link)));
        Outcome outcome = Judge(check, survey, adapters);
        report.Detail(outcome.finding);
        anyResolves = anyResolves || outcome.resolves;
        if (!outcome.resolves) verdict.Problem(outcome.problem, outcome.step);
    }
    if (!anySaved)
        verdict.Problem("no host has a saved selection",
                        "start the selector from the host (Corvex or Bay Steward) and save a VCI");
    verdict.WriteTo(report);
    return anyResolves;
}
