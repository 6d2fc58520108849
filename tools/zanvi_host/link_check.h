// Whether the resolver would reach a VCI over one link: its own rule applied to the answers
// that DNS-SD gave for the VCI.
#pragma once

#include <string>

#include "adapter_view.h"
#include "run_state.h"
#include "vci_survey.h"

enum class ELinkFault {
    None,             // the resolver would take an answer and find an address
    NoUsbAdapter,     // a USB run waits for a Remote NDIS adapter that is not there
    NoAnswer,         // the instance gave no resolve answer
    NotOnUsbAdapter,  // a USB run asks on the USB adapter alone, and nothing answered there
    Skipped,          // the resolver skips every answer for this link
    NoHostTarget,     // the answer it would take names no host
    NoAddress,        // the host of that answer has no IPv4 address
};

struct LinkCheck {
    ELinkFault fault = ELinkFault::None;
    const ResolveAnswer* answer = nullptr;  // the answer the resolver would take, if any
    std::string skipped;                    // the adapters of the answers it skips, for the report
};

// The three links in the order the selector shows them.
extern const EDesiredInterface kLinks[3];
const char* LinkName(EDesiredInterface link);  // "usb", "wifi", "eth"
bool Offers(const VciLinks& links, EDesiredInterface link);
// "usb wifi": the links a TXT record offers, or "none".
std::string OfferedLinks(const VciLinks& links);

LinkCheck CheckLink(const ServiceInstance& vci, EDesiredInterface link, const AdapterSurvey& adapters);

// The fault in plain words and what to do about it.
std::string FaultText(ELinkFault fault, const LinkCheck& check);
std::string FaultStep(ELinkFault fault);
