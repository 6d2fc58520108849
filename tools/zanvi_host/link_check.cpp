#include "link_check.h"

#include "dnssd_client.h"
#include "doctor_report.h"

namespace {

void Append(std::string& list, const std::string& item) { list += (list.empty() ? "" : ", ") + item; }

}  // namespace

const EDesiredInterface kLinks[3] = {DESIRED_USB, DESIRED_WIFI, DESIRED_ETH};

const char* LinkName(EDesiredInterface link)
{
    switch (link) {
    case DESIRED_USB: return "usb";
    case DESIRED_WIFI: return "wifi";
    default: return "eth";
    }
}

bool Offers(const VciLinks& links, EDesiredInterface link)
{
    switch (link) {
    case DESIRED_USB: return links.usb != 0;
    case DESIRED_WIFI: return links.wifi != 0;
    default: return links.eth != 0;
    }
}

std::string OfferedLinks(const VciLinks& links)
{
    std::string words;
    for (EDesiredInterface link : kLinks)
        if (Offers(links, link)) words += (words.empty() ? "" : " ") + std::string(LinkName(link));
    return words.empty() ? "none" : words;
}

LinkCheck CheckLink(const ServiceInstance& vci, EDesiredInterface link, const AdapterSurvey& adapters)
{
    LinkCheck check;
    if (link == DESIRED_USB && adapters.usbIndex == -1) {
        check.fault = ELinkFault::NoUsbAdapter;
        return check;
    }
    for (const ResolveAnswer& answer : vci.answers) {
        // A USB run resolves on the USB adapter alone: other adapters' answers never reach it.
        const bool asked = link != DESIRED_USB || static_cast<int32_t>(answer.interfaceIndex) == adapters.usbIndex;
        if (!asked) continue;
        if (!KeepResolveReply(link, answer.interfaceIndex)) {
            Append(check.skipped, AdapterLabel(adapters, answer.interfaceIndex));
            continue;
        }
        // The first answer kept is the one the run goes on with.
        if (!check.answer) check.answer = &answer;
    }
    if (!check.answer) {
        if (vci.answers.empty()) check.fault = ELinkFault::NoAnswer;
        else check.fault = check.skipped.empty() ? ELinkFault::NotOnUsbAdapter : ELinkFault::Skipped;
    } else if (check.answer->hostTarget.empty()) {
        check.fault = ELinkFault::NoHostTarget;
    } else if (check.answer->ipv4.empty()) {
        check.fault = ELinkFault::NoAddress;
    }
    return check;
}

std::string FaultText(ELinkFault fault, const LinkCheck& check)
{
    switch (fault) {
    case ELinkFault::None: return "the resolver reaches it";
    case ELinkFault::NoUsbAdapter: return "there is no USB adapter (Remote NDIS) for it";
    case ELinkFault::NoAnswer: return "it does not answer the resolve";
    case ELinkFault::NotOnUsbAdapter: return "it does not answer on the USB adapter";
    case ELinkFault::Skipped: return "the resolver skips its answers (on adapter " + check.skipped + ")";
    case ELinkFault::NoHostTarget: return "its answer names no host";
    case ELinkFault::NoAddress: return "its host " + check.answer->hostTarget + " has no IPv4 address";
    }
    return std::string();
}

std::string FaultStep(ELinkFault fault)
{
    switch (fault) {
    case ELinkFault::None: return std::string();
    case ELinkFault::NoUsbAdapter:
        return "connect the VCI with its USB cable and check that Windows shows its Remote NDIS network adapter";
    case ELinkFault::NoAnswer:
        return "switch the VCI off and on again; it announces itself but does not answer";
    case ELinkFault::NotOnUsbAdapter:
        return "connect the VCI with its USB cable; it answers on other adapters only";
    case ELinkFault::Skipped:
        return "connect the PC to the VCI over that link (for Wi-Fi: join the VCI's own Wi-Fi network), or "
               "choose another of its links in the selector";
    case ELinkFault::NoHostTarget:
    case ELinkFault::NoAddress:
        return "check the VCI's network settings; it answers without a usable IPv4 address";
    }
    return std::string();
}
