// Room for every socket of the examined instances in one select (the default is 64).
#define FD_SETSIZE 512
#include <winsock2.h>

#include "vci_survey.h"

#include <algorithm>

#include "dnssd_client.h"
#include "dnssd_reply_log.h"

namespace {

// The longest single wait, so that the deadlines are kept closely.
const DWORD kSliceMs = 50;

// Winsock for select, whatever the DNS-SD library did.
class CWinsock {
public:
    CWinsock() : m_started(WSAStartup(MAKEWORD(2, 2), &m_data) == 0) {}
    ~CWinsock()
    {
        if (m_started) WSACleanup();
    }
    CWinsock(const CWinsock&) = delete;
    CWinsock& operator=(const CWinsock&) = delete;

private:
    WSADATA m_data{};
    bool m_started;
};

// DNS-SD names its types and domains with a final dot; saved selections without.
std::string WithoutFinalDot(const char* text)
{
    std::string out = text ? text : "";
    if (!out.empty() && out.back() == '.') out.pop_back();
    return out;
}

// Types and domains are DNS names: their case does not matter.
bool SameName(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

DWORD Since(ULONGLONG start) { return static_cast<DWORD>(GetTickCount64() - start); }

// The instance of that name, type and domain in the list, or null.
template <class List>
auto FindIn(List& instances, const std::string& name, const std::string& type, const std::string& domain)
    -> decltype(&instances.front())
{
    for (auto& instance : instances)
        if (instance.name == name && SameName(instance.type, type) && SameName(instance.domain, domain))
            return &instance;
    return nullptr;
}

}  // namespace

CVciSurvey::~CVciSurvey()
{
    EndWhere([](const Operation&) { return true; });
}

DNSServiceErrorType CVciSurvey::Browse(const char* type)
{
    Operation* op = NewOperation(Kind::Browse, nullptr, nullptr);
    DNSServiceErrorType result = m_calls.browse(&op->ref, 0, kDNSServiceInterfaceIndexAny, type, nullptr, OnBrowse, op);
    if (Started(op, result)) return kDNSServiceErr_NoError;
    // A call that answers no error but gives no reference has not started either.
    return result != kDNSServiceErr_NoError ? result : kDNSServiceErr_Unknown;
}

bool CVciSurvey::Browsing() const
{
    for (const Operation& op : m_operations)
        if (op.kind == Kind::Browse) return true;
    return false;
}

void CVciSurvey::Want(const std::string& name, const std::string& type, const std::string& domain)
{
    if (ServiceInstance* instance = Instance(name, type, domain)) {
        instance->wanted = true;
        Examine(*instance);
    }
}

bool CVciSurvey::Run(DWORD browseMs, DWORD graceMs, bool (*interrupted)())
{
    CWinsock winsock;
    const ULONGLONG browseEnd = GetTickCount64() + browseMs;
    const ULONGLONG end = browseEnd + graceMs;
    bool completed = true;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (interrupted()) {
            completed = false;
            break;
        }
        if (now >= browseEnd && m_browsing) {
            m_browsing = false;
            EndWhere([](const Operation& op) { return op.kind == Kind::Browse; });
        }
        if (now >= end || (!m_browsing && Settled())) break;
        const ULONGLONG left = (m_browsing ? browseEnd : end) - now;
        Serve(static_cast<DWORD>(std::min<ULONGLONG>(left, kSliceMs)));
    }
    m_browsing = false;
    EndWhere([](const Operation&) { return true; });
    return completed;
}

const ServiceInstance* CVciSurvey::Find(const std::string& name, const std::string& type,
                                        const std::string& domain) const
{
    return FindIn(m_instances, name, type, domain);
}

CVciSurvey::Operation* CVciSurvey::NewOperation(Kind kind, ServiceInstance* instance, ResolveAnswer* answer)
{
    m_operations.push_back(Operation{this, kind, instance, answer, nullptr, DNSSD_INVALID_SOCKET, GetTickCount64(),
                                     false});
    return &m_operations.back();
}

bool CVciSurvey::Started(Operation* op, DNSServiceErrorType result)
{
    if (result == kDNSServiceErr_NoError && op->ref) {
        op->socket = m_calls.refSockFD(op->ref);
        // Without a socket nothing can be waited for: the operation ends at the next turn.
        op->ended = op->socket == DNSSD_INVALID_SOCKET;
        return true;
    }
    m_operations.remove_if([op](const Operation& candidate) { return &candidate == op; });
    return false;
}

ServiceInstance* CVciSurvey::Instance(const std::string& name, const std::string& type, const std::string& domain)
{
    if (ServiceInstance* known = FindIn(m_instances, name, type, domain)) return known;
    if (m_instances.size() >= kMaxInstances) {
        ++m_overflow;
        return nullptr;
    }
    m_instances.push_back(ServiceInstance());
    ServiceInstance& instance = m_instances.back();
    instance.name = name;
    instance.type = type;
    instance.domain = domain;
    return &instance;
}

void CVciSurvey::Examine(ServiceInstance& instance)
{
    if (instance.asked) return;
    instance.asked = true;
    const std::string fullName = instance.name + "." + instance.type + "." + instance.domain;
    Operation* txt = NewOperation(Kind::Txt, &instance, nullptr);
    Started(txt, m_calls.queryRecord(&txt->ref, 0, kDNSServiceInterfaceIndexAny, fullName.c_str(),
                                     kDNSServiceType_TXT, kDNSServiceClass_IN, OnTxt, txt));
    // As a Wi-Fi or Ethernet run of the resolver asks: on every adapter.
    Operation* resolve = NewOperation(Kind::Resolve, &instance, nullptr);
    Started(resolve, m_calls.resolve(&resolve->ref, 0, kDNSServiceInterfaceIndexAny, instance.name.c_str(),
                                     instance.type.c_str(), instance.domain.c_str(), OnResolve, resolve));
}

bool CVciSurvey::Settled() const
{
    for (const Operation& op : m_operations)
        if (!op.ended && (op.kind == Kind::Txt || op.kind == Kind::Address)) return false;
    for (const ServiceInstance& instance : m_instances) {
        for (uint32_t index : instance.interfaces) {
            auto answered = [index](const ResolveAnswer& answer) { return answer.interfaceIndex == index; };
            if (std::none_of(instance.answers.begin(), instance.answers.end(), answered)) return false;
        }
        if (instance.wanted && instance.interfaces.empty() && instance.answers.empty()) return false;
    }
    return true;
}

void CVciSurvey::Serve(DWORD waitMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    std::vector<Operation*> watched;
    for (Operation& op : m_operations) {
        if (op.ended || readable.fd_count >= FD_SETSIZE) continue;
        FD_SET(static_cast<SOCKET>(op.socket), &readable);
        watched.push_back(&op);
    }
    if (watched.empty()) {
        Sleep(waitMs);
        return;
    }
    timeval timeout{0, static_cast<long>(waitMs) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready < 0) Sleep(waitMs);  // a failed wait must not turn into a busy loop
    if (ready <= 0) return;
    // The callbacks may start more operations; those are served from the next turn on.
    for (Operation* op : watched) {
        if (!FD_ISSET(static_cast<SOCKET>(op->socket), &readable)) continue;
        if (m_calls.processResult(op->ref) == kDNSServiceErr_NoError) continue;
        // The service gave up on the question: no more answers come.
        op->ended = true;
        if (op->answer && !op->answer->addressEnded) {
            op->answer->addressEnded = true;
            op->answer->addressMs = Since(op->started);
        }
    }
    EndWhere([](const Operation& op) { return op.ended; });
}

void CVciSurvey::EndWhere(bool (*which)(const Operation& op))
{
    for (auto it = m_operations.begin(); it != m_operations.end();) {
        if (!which(*it)) {
            ++it;
            continue;
        }
        if (it->ref) m_calls.refDeallocate(it->ref);
        it = m_operations.erase(it);
    }
}

void DNSSD_API CVciSurvey::OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                    DNSServiceErrorType errorCode, const char* name, const char* type,
                                    const char* domain, void* context)
{
    CVciSurvey& survey = *static_cast<Operation*>(context)->survey;
    if (errorCode != kDNSServiceErr_NoError || !name) return;
    const std::string bareType = WithoutFinalDot(type);
    const std::string bareDomain = WithoutFinalDot(domain);
    const bool added = (flags & kDNSServiceFlagsAdd) != 0;
    ServiceInstance* instance = added ? survey.Instance(name, bareType, bareDomain)
                                      : FindIn(survey.m_instances, name, bareType, bareDomain);
    if (!instance) return;
    std::vector<uint32_t>& on = instance->interfaces;
    auto known = std::find(on.begin(), on.end(), interfaceIndex);
    if (added) {
        instance->announced = true;
        if (known == on.end()) on.push_back(interfaceIndex);
        survey.Examine(*instance);
    } else if (known != on.end()) {
        on.erase(known);
    }
}

void DNSSD_API CVciSurvey::OnTxt(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType errorCode,
                                 const char*, uint16_t, uint16_t, uint16_t length, const void* data, uint32_t,
                                 void* context)
{
    Operation* op = static_cast<Operation*>(context);
    if (errorCode == kDNSServiceErr_NoError && data) {
        ScanTxtLinks(static_cast<const unsigned char*>(data), length, op->instance->links);
        op->instance->txtAnswered = true;
    }
    op->ended = true;  // the first reply ends the question, as it does in the selector
}

void DNSSD_API CVciSurvey::OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t interfaceIndex, DNSServiceErrorType,
                                     const char*, const char* hostTarget, uint16_t port, uint16_t,
                                     const unsigned char*, void* context)
{
    Operation* op = static_cast<Operation*>(context);
    std::deque<ResolveAnswer>& answers = op->instance->answers;
    for (const ResolveAnswer& answer : answers)
        if (answer.interfaceIndex == interfaceIndex) return;  // the first answer per adapter counts
    answers.push_back(ResolveAnswer());
    ResolveAnswer& answer = answers.back();
    answer.interfaceIndex = interfaceIndex;
    answer.hostTarget = hostTarget ? hostTarget : "";
    answer.port = ntohs(port);
    answer.resolveMs = Since(op->started);
    if (answer.hostTarget.empty()) {
        answer.addressEnded = true;
        return;
    }
    // The address lookup the resolver makes for an answer it keeps.
    CVciSurvey& survey = *op->survey;
    Operation* lookup = survey.NewOperation(Kind::Address, op->instance, &answer);
    if (!survey.Started(lookup, survey.m_calls.getAddrInfo(&lookup->ref, kDNSServiceFlagsReturnIntermediates,
                                                          interfaceIndex, kDNSServiceProtocol_IPv4,
                                                          answer.hostTarget.c_str(), OnAddress, lookup)))
        answer.addressEnded = true;
}

void DNSSD_API CVciSurvey::OnAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType errorCode,
                                     const char*, const struct sockaddr* address, uint32_t, void* context)
{
    Operation* op = static_cast<Operation*>(context);
    ResolveAnswer& answer = *op->answer;
    if (answer.ipv4.empty() && IsUsableAddress(errorCode, address)) {
        answer.ipv4 = Ipv4Text(address);
        answer.addressMs = Since(op->started);
    }
    if (flags & kDNSServiceFlagsMoreComing) return;
    if (answer.ipv4.empty()) answer.addressMs = Since(op->started);
    answer.addressEnded = true;
    op->ended = true;
}
