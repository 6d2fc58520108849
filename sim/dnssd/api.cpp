// The eight DNS-SD client calls. Each checks what the caller passed, prepares the operation
// and hands it to the simulation; nothing escapes as an exception.
#include <memory>
#include <new>
#include <type_traits>

#include "call_hold.h"
#include "dns_sd_api.h"
#include "simulation.h"

// The pointer types that callers bind must match what is exported here, on either target.
static_assert(std::is_same<decltype(&DNSServiceBrowse), PFN_DNSServiceBrowse>::value, "");
static_assert(std::is_same<decltype(&DNSServiceQueryRecord), PFN_DNSServiceQueryRecord>::value,
    "");
static_assert(std::is_same<decltype(&DNSServiceReconfirmRecord),
                  PFN_DNSServiceReconfirmRecord>::value, "");
static_assert(std::is_same<decltype(&DNSServiceResolve), PFN_DNSServiceResolve>::value, "");
static_assert(std::is_same<decltype(&DNSServiceGetAddrInfo), PFN_DNSServiceGetAddrInfo>::value,
    "");
static_assert(std::is_same<decltype(&DNSServiceRefSockFD), PFN_DNSServiceRefSockFD>::value, "");
static_assert(std::is_same<decltype(&DNSServiceProcessResult),
                  PFN_DNSServiceProcessResult>::value, "");
static_assert(std::is_same<decltype(&DNSServiceRefDeallocate),
                  PFN_DNSServiceRefDeallocate>::value, "");
static_assert(std::is_same<dnssd_sock_t, SOCKET>::value, "a socket is a Winsock SOCKET");

using dnssd_sim::Call;
using dnssd_sim::CSimulation;

namespace {

using OpPtr = std::shared_ptr<_DNSServiceRef_t>;

OpPtr NewOp(Call call, DNSServiceFlags flags, uint32_t interfaceIndex, void* context)
{
    OpPtr op = std::make_shared<_DNSServiceRef_t>();
    op->call = call;
    op->flags = flags;
    op->interfaceIndex = interfaceIndex;
    op->context = context;
    return op;
}

// Runs a call body; an allocation failure or any other exception becomes an error code.
template <typename Body>
DNSServiceErrorType Guarded(Body body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return kDNSServiceErr_NoMemory;
    } catch (...) {
        return kDNSServiceErr_Unknown;
    }
}

DNSServiceErrorType Start(DNSServiceRef* sdRef, const OpPtr& op)
{
    *sdRef = nullptr;
    return CSimulation::Get().Start(op, sdRef);
}

}  // namespace

extern "C" {

DNSServiceErrorType DNSSD_API DNSServiceBrowse(DNSServiceRef* sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* regtype, const char* domain,
    DNSServiceBrowseReply callBack, void* context)
{
    dnssd_sim::HoldIfArmed("DNSServiceBrowse");
    if (!sdRef || !regtype || !callBack)
        return kDNSServiceErr_BadParam;
    return Guarded([&] {
        OpPtr op = NewOp(Call::Browse, flags, interfaceIndex, context);
        op->regtype = regtype;
        op->domain = domain && *domain ? domain : "local.";
        op->browseReply = callBack;
        return Start(sdRef, op);
    });
}

DNSServiceErrorType DNSSD_API DNSServiceQueryRecord(DNSServiceRef* sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, const char* fullname, uint16_t rrtype,
    uint16_t rrclass, DNSServiceQueryRecordReply callBack, void* context)
{
    dnssd_sim::HoldIfArmed("DNSServiceQueryRecord");
    if (!sdRef || !fullname || !callBack)
        return kDNSServiceErr_BadParam;
    return Guarded([&] {
        OpPtr op = NewOp(Call::Query, flags, interfaceIndex, context);
        op->name = fullname;
        op->rrtype = rrtype;
        op->rrclass = rrclass;
        op->queryReply = callBack;
        return Start(sdRef, op);
    });
}

DNSServiceErrorType DNSSD_API DNSServiceReconfirmRecord(DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* fullname, uint16_t rrtype, uint16_t rrclass,
    uint16_t rdlen, const void* rdata)
{
    dnssd_sim::HoldIfArmed("DNSServiceReconfirmRecord");
    if (!fullname || (rdlen > 0 && !rdata))
        return kDNSServiceErr_BadParam;
    return Guarded([&] {
        return CSimulation::Get().Reconfirm(flags, interfaceIndex, fullname, rrtype, rrclass,
            rdlen, rdata);
    });
}

DNSServiceErrorType DNSSD_API DNSServiceResolve(DNSServiceRef* sdRef, DNSServiceFlags flags,
    uint32_t interfaceIndex, const char* name, const char* regtype, const char* domain,
    DNSServiceResolveReply callBack, void* context)
{
    dnssd_sim::HoldIfArmed("DNSServiceResolve");
    if (!sdRef || !name || !regtype || !domain || !callBack)
        return kDNSServiceErr_BadParam;
    return Guarded([&] {
        OpPtr op = NewOp(Call::Resolve, flags, interfaceIndex, context);
        op->name = name;
        op->regtype = regtype;
        op->domain = *domain ? domain : "local.";
        op->resolveReply = callBack;
        return Start(sdRef, op);
    });
}

DNSServiceErrorType DNSSD_API DNSServiceGetAddrInfo(DNSServiceRef* sdRef,
    DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceProtocol protocol,
    const char* hostname, DNSServiceGetAddrInfoReply callBack, void* context)
{
    dnssd_sim::HoldIfArmed("DNSServiceGetAddrInfo");
    if (!sdRef || !hostname || !callBack)
        return kDNSServiceErr_BadParam;
    return Guarded([&] {
        OpPtr op = NewOp(Call::GetAddrInfo, flags, interfaceIndex, context);
        op->name = hostname;
        op->protocol = protocol;
        op->addrInfoReply = callBack;
        return Start(sdRef, op);
    });
}

dnssd_sock_t DNSSD_API DNSServiceRefSockFD(DNSServiceRef sdRef)
{
    dnssd_sim::HoldIfArmed("DNSServiceRefSockFD");
    if (!sdRef)
        return DNSSD_INVALID_SOCKET;
    try {
        return CSimulation::Get().SockFD(sdRef);
    } catch (...) {
        return DNSSD_INVALID_SOCKET;
    }
}

DNSServiceErrorType DNSSD_API DNSServiceProcessResult(DNSServiceRef sdRef)
{
    dnssd_sim::HoldIfArmed("DNSServiceProcessResult");
    if (!sdRef)
        return kDNSServiceErr_BadParam;
    return Guarded([&] { return CSimulation::Get().ProcessResult(sdRef); });
}

void DNSSD_API DNSServiceRefDeallocate(DNSServiceRef sdRef)
{
    dnssd_sim::HoldIfArmed("DNSServiceRefDeallocate");
    if (!sdRef)
        return;
    try {
        CSimulation::Get().Deallocate(sdRef);
    } catch (...) {
    }
}

}  // extern "C"
