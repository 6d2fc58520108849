// 3. The VCIs announced now: their links, their answers, and what the resolver makes of them.
#include "doctor_sections.h"
#include "link_check.h"

namespace {

std::string AdapterList(const AdapterSurvey& adapters, const std::vector<uint32_t>& indexes)
{
    std::string list;
    for (uint32_t index : indexes) list += (list.empty() ? "" : ", ") + AdapterLabel(adapters, index);
    return list;
}

std::string AnswerText(const AdapterSurvey& adapters, const ResolveAnswer& answer)
{
    std::string text = "Answer on adapter " + AdapterLabel(adapters, answer.interfaceIndex) + ": ";
    if (answer.hostTarget.empty()) return text + Format("no host (resolve %lu ms)", answer.resolveMs);
    text += Format("%s port %u (resolve %lu ms), ", answer.hostTarget.c_str(), static_cast<unsigned>(answer.port),
                   answer.resolveMs);
    if (!answer.ipv4.empty()) return text + Format("address %s (%lu ms)", answer.ipv4.c_str(), answer.addressMs);
    if (!answer.addressEnded) return text + "no address answer";
    return text + Format("no IPv4 address (%lu ms)", answer.addressMs);
}

// Writes one VCI's lines; a thing that keeps a host from using it becomes a problem of the verdict.
void ReportVci(CDoctorReport& report, const ServiceInstance& vci, const AdapterSurvey& adapters, CVerdict& verdict)
{
    std::string where = vci.interfaces.empty() ? std::string("announced, then withdrawn")
                                               : "announced on adapter " + AdapterList(adapters, vci.interfaces);
    report.Line(vci.name + " (" + vci.type + "): " + where);
    if (!vci.txtAnswered) {
        report.Detail("TXT record: no answer, so the selector shows no link for it");
        verdict.Problem(vci.name + " does not answer for its TXT record, so the selector offers none of its links",
                        "switch the VCI off and on again");
    } else {
        report.Detail("TXT record: links " + OfferedLinks(vci.links));
    }
    for (const ResolveAnswer& answer : vci.answers) report.Detail(AnswerText(adapters, answer));
    for (uint32_t index : vci.interfaces) {
        bool answered = false;
        for (const ResolveAnswer& answer : vci.answers) answered = answered || answer.interfaceIndex == index;
        if (!answered) report.Detail("No resolve answer on adapter " + AdapterLabel(adapters, index));
    }
    if (!vci.txtAnswered) return;
    for (EDesiredInterface link : kLinks) {
        if (!Offers(vci.links, link)) continue;
        LinkCheck check = CheckLink(vci, link, adapters);
        std::string line = std::string(LinkName(link)) + ": ";
        if (check.fault == ELinkFault::None)
            line += Format("the resolver takes %s port %u, on adapter %s", check.answer->ipv4.c_str(),
                           static_cast<unsigned>(check.answer->port),
                           AdapterLabel(adapters, check.answer->interfaceIndex).c_str());
        else
            line += "the resolver would fail: " + FaultText(check.fault, check);
        if (!check.skipped.empty()) line += "; it skips the answer on adapter " + check.skipped;
        report.Detail(line);
        if (check.fault != ELinkFault::None)
            verdict.Problem(vci.name + "'s " + LinkName(link) + " link cannot be used: " +
                                FaultText(check.fault, check),
                            FaultStep(check.fault));
    }
}

}  // namespace

void ReportAnnouncedVcis(CDoctorReport& report, const CVciSurvey* survey, const AdapterSurvey& adapters,
                         unsigned browseSeconds, bool interrupted)
{
    report.Heading(Format("3. VCIs announced now (browsed for %u s)", browseSeconds));
    if (interrupted) report.Line("Cut short with Ctrl+C: what follows may be incomplete");
    if (!survey) {
        report.Line("Not looked for: no working DNS-SD library");
        report.Problem("the VCIs cannot be looked for without a working DNS-SD library", "see 1");
        return;
    }
    CVerdict verdict;
    size_t announced = 0;
    for (const HostServiceType& service : kHostServiceTypes) {
        for (const ServiceInstance& vci : survey->Instances()) {
            if (!vci.announced || vci.type != service.type) continue;
            ++announced;
            ReportVci(report, vci, adapters, verdict);
        }
    }
    if (announced == 0) report.Line("None");
    if (survey->Overflow() > 0)
        report.Line(Format("%u more announcements were not examined (at most %u instances are)",
                           static_cast<unsigned>(survey->Overflow()),
                           static_cast<unsigned>(CVciSurvey::kMaxInstances)));
    if (announced == 0)
        verdict.Problem(Format("no VCI announced itself in %u s", browseSeconds),
                        "switch the VCI on and connect it over USB, its Wi-Fi network or Ethernet; check that no "
                        "firewall blocks multicast DNS (UDP port 5353)");
    verdict.WriteTo(report);
}
