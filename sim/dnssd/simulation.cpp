#include "simulation.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "dns_names.h"
#include "pipe_steering.h"
#include "scenario_file.h"

namespace dnssd_sim {

namespace {

// ProcessResult with nothing waiting blocks like the real call, but never for ever.
constexpr DWORD kBlockingCapMs = 2000;
constexpr uint32_t kTtl = 4500;
constexpr uint32_t kAddressTtl = 120;

uint64_t Now()
{
    return GetTickCount64();
}

std::string HostOf(const Instance& inst)
{
    return inst.host.empty() ? inst.key.name + ".local." : inst.host;
}

bool Matches(const Instance& inst, const _DNSServiceRef_t& op)
{
    switch (op.call) {
    case Call::Browse:
        return SameName(inst.key.type, op.regtype) && SameName(inst.key.domain, op.domain);
    case Call::Resolve:
        return SameLabel(inst.key.name, op.name) &&
               SameName(inst.key.type, op.regtype) && SameName(inst.key.domain, op.domain);
    case Call::Query:
        return op.rrtype == kDNSServiceType_TXT && op.rrclass == kDNSServiceClass_IN &&
               SameName(FullServiceName(inst.key.name, inst.key.type, inst.key.domain),
                   op.name);
    case Call::GetAddrInfo:
        return SameName(HostOf(inst), op.name);
    case Call::Reconfirm:
        break;
    }
    return false;
}

bool Contains(const std::vector<uint32_t>& list, uint32_t value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool Erase(std::vector<uint32_t>& list, uint32_t value)
{
    auto it = std::find(list.begin(), list.end(), value);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}

// A browse sees the instance where it is announced; the other calls answer from the cache,
// which keeps a withdrawn instance's records.
const std::vector<uint32_t>& AnsweringInterfaces(const Instance& inst, const _DNSServiceRef_t& op)
{
    return op.call == Call::Browse ? inst.seenOn : inst.cachedOn;
}

// The end of a question that no record answered, as the daemon reports it: its name, no data.
Reply Unanswered(const _DNSServiceRef_t& op, DNSServiceErrorType error)
{
    Reply reply;
    reply.error = error;
    reply.name = op.name;
    reply.rrtype = op.rrtype;
    reply.rrclass = op.rrclass;
    return reply;
}

// The answer of a browse, TXT query or resolve for an instance seen on one interface.
void BuildAnswer(const _DNSServiceRef_t& op, const Instance& inst, uint32_t index, Reply& reply)
{
    reply.interfaceIndex = index;
    reply.name = FullServiceName(inst.key.name, inst.key.type, inst.key.domain);
    switch (op.call) {
    case Call::Browse:
        reply.flags = kDNSServiceFlagsAdd;
        reply.name = inst.key.name;
        reply.regtype = WithTrailingDot(inst.key.type);
        reply.domain = WithTrailingDot(inst.key.domain);
        break;
    case Call::Query:
        reply.flags = kDNSServiceFlagsAdd;
        reply.rrtype = op.rrtype;
        reply.rrclass = op.rrclass;
        reply.data = inst.txt;
        reply.ttl = kTtl;
        break;
    case Call::Resolve:
        reply.host = HostOf(inst);
        reply.portNet = htons(inst.port);
        reply.data = inst.txt;
        break;
    case Call::GetAddrInfo:
    case Call::Reconfirm:
        break;
    }
}

DWORD WINAPI ClockThread(LPVOID module)
{
    CSimulation::Get().RunClock();
    // The thread holds the library loaded: a host may release it right after the last
    // deallocation, while this thread is still on its way out.
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

}  // namespace

CSimulation& CSimulation::Get()
{
    // Ends with the library: no thread of the library outlives it (the clock thread holds the
    // library loaded), and a host does not call in while it unloads the library.
    static CSimulation instance;
    return instance;
}

void CSimulation::EnsureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    Scenario scenario;
    std::string error;
    if (!LoadDefaultScenario(scenario, error)) {
        m_loadError = m_lastError = error;
        OutputDebugStringA(("dnssd: " + error + "\n").c_str());
    }
    Install(scenario);
    StartPipeSteering();
}

void CSimulation::Install(const Scenario& scenario)
{
    m_startTick = Now();
    m_replyDelayMs = scenario.replyDelayMs;
    m_flushDelayMs = scenario.flushDelayMs;
    m_negativeDelayMs = scenario.negativeDelayMs;
    m_goodbyeDelayMs = scenario.goodbyeDelayMs;
    m_queryTimeoutMs = scenario.queryTimeoutMs;
    m_negativeReplies = scenario.negativeReplies;
    m_instances = scenario.instances;
    for (Instance& inst : m_instances) {
        inst.seenOn = inst.hidden ? std::vector<uint32_t>() : inst.interfaces;
        inst.cachedOn = inst.seenOn;
    }
    m_timeline.clear();
    for (const TimelineEvent& e : scenario.timeline)
        m_timeline.emplace(m_startTick + e.atMs, e);
    m_errors = scenario.errors;
    m_reconfirms.clear();
    // Replies of the old network that are not yet due never arrive.
    for (auto& entry : m_refs)
        entry.second->pending.clear();
    m_clockCv.notify_all();
}

CSimulation::OpPtr CSimulation::Find(DNSServiceRef ref)
{
    auto it = m_refs.find(ref);
    return it == m_refs.end() ? OpPtr() : it->second;
}

Instance* CSimulation::FindInstance(const InstanceKey& key)
{
    for (Instance& inst : m_instances) {
        if (inst.key == key)
            return &inst;
    }
    return nullptr;
}

bool CSimulation::TakeInjection(Call call, Fault fault, int32_t& code, ErrorInjection* taken)
{
    for (auto it = m_errors.begin(); it != m_errors.end(); ++it) {
        if (it->call != call || it->fault != fault || it->remaining == 0)
            continue;
        code = it->code;
        if (taken)
            *taken = *it;
        if (it->remaining > 0 && --it->remaining == 0)
            m_errors.erase(it);
        return true;
    }
    return false;
}

DNSServiceErrorType CSimulation::Admit(Call call)
{
    EnsureLoaded();
    Advance();
    if (!m_loadError.empty())
        return kDNSServiceErr_ServiceNotRunning;
    int32_t code = 0;
    if (TakeInjection(call, Fault::CallFails, code))
        return code;
    return kDNSServiceErr_NoError;
}

DNSServiceErrorType CSimulation::Start(OpPtr op, DNSServiceRef* out)
{
    Lock lock(m_mutex);
    DNSServiceErrorType admitted = Admit(op->call);
    if (admitted != kDNSServiceErr_NoError)
        return admitted;
    if (!op->sockets.Open())
        return kDNSServiceErr_Unknown;
    if (!m_clockRunning && !StartClock())
        return kDNSServiceErr_NoMemory;
    QueueFirstAnswers(*op);
    m_refs.emplace(op.get(), op);
    *out = op.get();
    return kDNSServiceErr_NoError;
}

bool CSimulation::StartClock()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
            reinterpret_cast<LPCWSTR>(&ClockThread), &module))
        return false;
    HANDLE thread = CreateThread(nullptr, 0, ClockThread, module, 0, nullptr);
    if (!thread) {
        FreeLibrary(module);
        return false;
    }
    CloseHandle(thread);
    m_clockRunning = true;
    return true;
}

void CSimulation::RunClock()
{
    Lock lock(m_mutex);
    while (!m_refs.empty()) {
        Advance();
        uint64_t next = NextDue();
        if (next == UINT64_MAX) {
            m_clockCv.wait(lock);
        } else {
            uint64_t now = Now();
            m_clockCv.wait_for(lock, static_cast<DWORD>(next > now ? std::min<uint64_t>(next - now, 60000) : 0));
        }
    }
    m_clockRunning = false;
}

uint64_t CSimulation::NextDue() const
{
    uint64_t next = m_timeline.empty() ? UINT64_MAX : m_timeline.begin()->first;
    for (const auto& entry : m_refs) {
        if (!entry.second->pending.empty())
            next = std::min(next, entry.second->pending.begin()->first);
    }
    return next;
}

void CSimulation::Advance()
{
    uint64_t now = Now();
    while (!m_timeline.empty() && m_timeline.begin()->first <= now) {
        TimelineEvent event = m_timeline.begin()->second;
        m_timeline.erase(m_timeline.begin());
        ApplyEvent(event);
    }
    bool signalled = false;
    for (auto& entry : m_refs) {
        _DNSServiceRef_t& op = *entry.second;
        while (!op.pending.empty() && op.pending.begin()->first <= now) {
            op.ready.push_back(op.pending.begin()->second);
            op.pending.erase(op.pending.begin());
            if (op.sockets.Signal())
                ++op.bytesSignalled;
            signalled = true;
            if (op.ready.back().last) {
                op.failed = true;
                op.pending.clear();
            }
        }
    }
    if (signalled)
        m_replyCv.notify_all();
}

void CSimulation::ApplyEvent(const TimelineEvent& event)
{
    Instance* inst = FindInstance(event.key);
    if (!inst)
        return;
    switch (event.kind) {
    case EventKind::Add:
        for (uint32_t index : event.interfaces.empty() ? inst->interfaces : event.interfaces)
            Announce(*inst, index);
        break;
    case EventKind::Remove: {
        std::vector<uint32_t> from = event.interfaces.empty() ? inst->seenOn : event.interfaces;
        for (uint32_t index : from)
            Withdraw(*inst, index);
        break;
    }
    case EventKind::Txt:
        ChangeTxt(*inst, event.txt);
        break;
    case EventKind::Goodbye:
        for (uint32_t index : event.interfaces)
            Goodbye(*inst, index);
        break;
    case EventKind::Flush:
        Flush(*inst);
        break;
    }
}

void CSimulation::Queue(_DNSServiceRef_t& op, const Reply& reply, uint64_t due)
{
    op.pending.emplace(due, reply);
    m_clockCv.notify_all();
}

void CSimulation::QueueFirstAnswers(_DNSServiceRef_t& op)
{
    uint64_t due = Now() + m_replyDelayMs;
    int32_t code = 0;
    ErrorInjection injected;
    if (TakeInjection(op.call, Fault::ReplyError, code, &injected)) {
        Reply reply;
        reply.error = code;
        reply.hasAddress = injected.hasAddress;
        if (injected.hasAddress) {
            reply.address.sin_family = AF_INET;
            std::memcpy(&reply.address.sin_addr, injected.ipv4, 4);
        }
        reply.name = op.name;
        reply.regtype = op.regtype;
        reply.domain = op.domain;
        reply.rrtype = op.rrtype;
        reply.rrclass = op.rrclass;
        Queue(op, reply, due);
        op.failed = true;
        return;
    }
    // What a question finds at its start comes from the cache, and a TXT query's or address
    // lookup's answers say so, as the real daemon's do.
    const DNSServiceFlags cacheFlag =
        (op.call == Call::Query || op.call == Call::GetAddrInfo) ? kDNSServiceFlagAnsweredFromCache : 0;
    bool answered = false;
    for (const Instance& inst : m_instances) {
        if (!Matches(inst, op))
            continue;
        for (uint32_t index : AnsweringInterfaces(inst, op))
            answered = QueueAnswers(op, inst, index, due, cacheFlag) || answered;
    }
    if (op.call == Call::Query || op.call == Call::GetAddrInfo)
        QueueEndOfQuestion(op, answered);
}

void CSimulation::QueueEndOfQuestion(_DNSServiceRef_t& op, bool answered)
{
    // A multicast question that nobody answers gets no reply at all. A question asked with
    // a time limit is stopped when it runs out, answered or not.
    if (op.flags & kDNSServiceFlagsTimeout) {
        // As the real client library delivers it: flagged Add, on no interface, and an
        // address lookup's with an all-zero IPv4 address.
        Reply timeout = Unanswered(op, kDNSServiceErr_Timeout);
        timeout.flags = kDNSServiceFlagsAdd;
        if (op.call == Call::GetAddrInfo) {
            timeout.hasAddress = true;
            timeout.address.sin_family = AF_INET;
        }
        timeout.last = true;
        Queue(op, timeout, Now() + m_queryTimeoutMs);
    }
    if (answered || !m_negativeReplies || !(op.flags & kDNSServiceFlagsReturnIntermediates))
        return;
    // The unicast way: an intermediate answer that the name has no such record.
    Reply negative = Unanswered(op, kDNSServiceErr_NoSuchRecord);
    if (op.call == Call::GetAddrInfo) {
        negative.hasAddress = true;
        negative.address.sin_family = AF_INET;
    }
    Queue(op, negative, Now() + m_negativeDelayMs);
}

bool CSimulation::QueueAnswers(_DNSServiceRef_t& op, const Instance& inst, uint32_t index,
    uint64_t due, DNSServiceFlags cacheFlag)
{
    if (op.failed || !op.Wants(index))
        return false;
    if (op.call != Call::GetAddrInfo) {
        Reply reply;
        BuildAnswer(op, inst, index, reply);
        reply.flags |= cacheFlag;
        Queue(op, reply, due);
        return true;
    }
    bool any = false;
    bool ipv4Wanted = op.protocol == 0 || (op.protocol & kDNSServiceProtocol_IPv4);
    for (const AddressAnswer& a : inst.addresses) {
        if ((a.onInterface != 0 && a.onInterface != index) || (a.hasAddress && !ipv4Wanted))
            continue;
        Reply answer;
        answer.flags = kDNSServiceFlagsAdd | (a.moreComing ? kDNSServiceFlagsMoreComing : 0) | cacheFlag;
        answer.interfaceIndex = index;
        answer.name = op.name;
        answer.ttl = kAddressTtl;
        answer.hasAddress = a.hasAddress;
        if (a.hasAddress) {
            answer.address.sin_family = AF_INET;
            std::memcpy(&answer.address.sin_addr, a.ipv4, 4);
        }
        Queue(op, answer, due + a.afterMs);
        any = true;
    }
    return any;
}

void CSimulation::QueueRemoval(_DNSServiceRef_t& op, const Instance& inst, uint32_t index)
{
    // Only browses and TXT questions are told that a record went.
    if (op.failed || !op.Wants(index) || (op.call != Call::Browse && op.call != Call::Query))
        return;
    Reply removal;
    BuildAnswer(op, inst, index, removal);
    removal.flags &= ~static_cast<DNSServiceFlags>(kDNSServiceFlagsAdd);
    Queue(op, removal, Now() + m_replyDelayMs);
}

void CSimulation::Announce(Instance& inst, uint32_t index)
{
    // Back before its goodbye took effect: the browse record never went.
    CancelGoodbye(inst.key, index);
    // A silent VCI that announces itself after a check found it silent has come back: the
    // announcement refreshes its records, so a check still under way finds them, and it
    // answers the daemon's checks from now on.
    if (inst.checked) {
        CancelFlush(inst.key);
        inst.checked = false;
        inst.flushOnReconfirm = false;
    }
    bool newToBrowses = !Contains(inst.seenOn, index);
    bool newToCache = !Contains(inst.cachedOn, index);
    if (newToBrowses)
        inst.seenOn.push_back(index);
    if (newToCache)
        inst.cachedOn.push_back(index);
    for (auto& entry : m_refs) {
        _DNSServiceRef_t& op = *entry.second;
        // Records already cached are not news to the questions that hold them.
        if (Matches(inst, op) && (op.call == Call::Browse ? newToBrowses : newToCache))
            QueueAnswers(op, inst, index, Now() + m_replyDelayMs);
    }
}

void CSimulation::Withdraw(Instance& inst, uint32_t index)
{
    if (!Contains(inst.seenOn, index) || FindGoodbye(inst.key, index) != m_timeline.end())
        return;
    TimelineEvent goodbye;
    goodbye.kind = EventKind::Goodbye;
    goodbye.key = inst.key;
    goodbye.interfaces = {index};
    m_timeline.emplace(Now() + m_goodbyeDelayMs, goodbye);
    m_clockCv.notify_all();
}

CSimulation::Timeline::iterator CSimulation::FindGoodbye(const InstanceKey& key, uint32_t index)
{
    for (auto it = m_timeline.begin(); it != m_timeline.end(); ++it) {
        const TimelineEvent& e = it->second;
        if (e.kind == EventKind::Goodbye && e.key == key && e.interfaces.size() == 1 &&
            e.interfaces[0] == index)
            return it;
    }
    return m_timeline.end();
}

void CSimulation::CancelGoodbye(const InstanceKey& key, uint32_t index)
{
    auto it = FindGoodbye(key, index);
    if (it != m_timeline.end())
        m_timeline.erase(it);
}

void CSimulation::Goodbye(Instance& inst, uint32_t index)
{
    // Only the browse record goes; SRV, TXT and addresses stay cached for their long TTL.
    if (!Erase(inst.seenOn, index))
        return;
    for (auto& entry : m_refs) {
        if (entry.second->call == Call::Browse && Matches(inst, *entry.second))
            QueueRemoval(*entry.second, inst, index);
    }
}

void CSimulation::CancelFlush(const InstanceKey& key)
{
    for (auto it = m_timeline.begin(); it != m_timeline.end();) {
        if (it->second.kind == EventKind::Flush && it->second.key == key)
            it = m_timeline.erase(it);
        else
            ++it;
    }
}

void CSimulation::Flush(Instance& inst)
{
    for (uint32_t index : std::vector<uint32_t>(inst.cachedOn))
        CancelGoodbye(inst.key, index);
    for (auto& entry : m_refs) {
        _DNSServiceRef_t& op = *entry.second;
        if (Matches(inst, op))
            for (uint32_t index : AnsweringInterfaces(inst, op))
                QueueRemoval(op, inst, index);
    }
    inst.seenOn.clear();
    inst.cachedOn.clear();
}

void CSimulation::ChangeTxt(Instance& inst, const std::string& rdata)
{
    Instance old = inst;
    inst.txt = rdata;
    for (auto& entry : m_refs) {
        _DNSServiceRef_t& op = *entry.second;
        if (!Matches(inst, op) || (op.call != Call::Query && op.call != Call::Resolve))
            continue;
        for (uint32_t index : inst.seenOn) {
            if (op.call == Call::Query)
                QueueRemoval(op, old, index);  // the old record goes, then the new one comes
            QueueAnswers(op, inst, index, Now() + m_replyDelayMs);
        }
    }
}

DNSServiceErrorType CSimulation::Reconfirm(DNSServiceFlags flags, uint32_t interfaceIndex,
    const char* fullname, uint16_t rrtype, uint16_t rrclass, uint16_t rdlen, const void* rdata)
{
    Lock lock(m_mutex);
    DNSServiceErrorType admitted = Admit(Call::Reconfirm);
    if (admitted != kDNSServiceErr_NoError)
        return admitted;
    ZanviDnssdReconfirm record = {};
    record.flags = flags;
    record.interfaceIndex = interfaceIndex;
    for (size_t i = 0; i + 1 < sizeof(record.fullname) && fullname[i] != '\0'; ++i)
        record.fullname[i] = fullname[i];
    record.rrtype = rrtype;
    record.rrclass = rrclass;
    record.rdlen = rdlen;
    if (rdlen > 0)
        std::memcpy(record.rdata, rdata, std::min<size_t>(rdlen, sizeof(record.rdata)));
    m_reconfirms.push_back(record);

    if (rrtype != kDNSServiceType_TXT)
        return kDNSServiceErr_NoError;
    for (Instance& inst : m_instances) {
        if (inst.flushOnReconfirm && !inst.cachedOn.empty() &&
            SameName(FullServiceName(inst.key.name, inst.key.type, inst.key.domain), fullname)) {
            // The instance no longer answers the daemon's check: its records are flushed.
            TimelineEvent flush;
            flush.kind = EventKind::Flush;
            flush.key = inst.key;
            m_timeline.emplace(Now() + m_flushDelayMs, flush);
            inst.checked = true;
            m_clockCv.notify_all();
        }
    }
    return kDNSServiceErr_NoError;
}

dnssd_sock_t CSimulation::SockFD(DNSServiceRef ref)
{
    Lock lock(m_mutex);
    OpPtr op = Find(ref);
    return op ? static_cast<dnssd_sock_t>(op->sockets.Reader()) : DNSSD_INVALID_SOCKET;
}

DNSServiceErrorType CSimulation::ProcessResult(DNSServiceRef ref)
{
    OpPtr op;
    int32_t pauseMs = 0;
    {
        Lock lock(m_mutex);
        Advance();
        op = Find(ref);
        if (!op)
            return kDNSServiceErr_BadReference;
        int32_t code = 0;
        if (TakeInjection(op->call, Fault::ProcessError, code))
            return code;
        m_replyCv.wait_for(lock, kBlockingCapMs,
            [&] { return op->dead.load() || op->bytesSignalled > 0; });
        if (op->dead)
            return kDNSServiceErr_BadReference;
        TakeInjection(op->call, Fault::Pause, pauseMs);
    }
    if (pauseMs > 0)
        Sleep(static_cast<DWORD>(pauseMs));  // a slow daemon: the replies wait meanwhile

    std::lock_guard<CRecursiveMutex> delivering(op->delivery);
    std::deque<Reply> batch;
    unsigned bytes = 0;
    {
        Lock lock(m_mutex);
        if (op->dead)
            return kDNSServiceErr_BadReference;
        batch.swap(op->ready);
        bytes = op->bytesSignalled;
        op->bytesSignalled = 0;
    }
    op->sockets.Consume(bytes);
    for (size_t i = 0; i < batch.size() && !op->dead; ++i) {
        if (i + 1 < batch.size())
            batch[i].flags |= kDNSServiceFlagsMoreComing;
        Deliver(*op, batch[i]);
    }
    return kDNSServiceErr_NoError;
}

void CSimulation::Deliver(_DNSServiceRef_t& op, const Reply& r)
{
    switch (op.call) {
    case Call::Browse:
        op.browseReply(&op, r.flags, r.interfaceIndex, r.error, r.name.c_str(),
            r.regtype.c_str(), r.domain.c_str(), op.context);
        break;
    case Call::Query:
        op.queryReply(&op, r.flags, r.interfaceIndex, r.error, r.name.c_str(), r.rrtype,
            r.rrclass, static_cast<uint16_t>(r.data.size()), r.data.data(), r.ttl, op.context);
        break;
    case Call::Resolve:
        op.resolveReply(&op, r.flags, r.interfaceIndex, r.error, r.name.c_str(),
            r.host.c_str(), r.portNet, static_cast<uint16_t>(r.data.size()),
            reinterpret_cast<const unsigned char*>(r.data.data()), op.context);
        break;
    case Call::GetAddrInfo:
        op.addrInfoReply(&op, r.flags, r.interfaceIndex, r.error, r.name.c_str(),
            r.hasAddress ? reinterpret_cast<const sockaddr*>(&r.address) : nullptr, r.ttl,
            op.context);
        break;
    case Call::Reconfirm:
        break;
    }
}

void CSimulation::Deallocate(DNSServiceRef ref)
{
    OpPtr op;
    {
        Lock lock(m_mutex);
        op = Find(ref);
    }
    if (!op)
        return;
    // Waits for a callback running on another thread; from inside a callback it is ours.
    std::lock_guard<CRecursiveMutex> delivering(op->delivery);
    {
        Lock lock(m_mutex);
        if (m_refs.erase(ref) == 0)
            return;
        op->dead = true;
        m_replyCv.notify_all();
        m_clockCv.notify_all();
    }
    op->sockets.Close();
}

bool CSimulation::LoadScenario(const std::wstring& path, const std::string& label)
{
    Scenario scenario;
    std::string error;
    bool ok = ReadScenarioFile(path, label, scenario, error);
    Lock lock(m_mutex);
    m_loaded = true;
    if (!ok) {
        m_lastError = error;
        return false;
    }
    m_loadError.clear();
    m_lastError.clear();
    Install(scenario);
    return true;
}

std::string CSimulation::LastError()
{
    Lock lock(m_mutex);
    return m_lastError;
}

void CSimulation::Reset()
{
    Lock lock(m_mutex);
    m_loaded = true;
    m_loadError.clear();
    m_lastError.clear();
    Install(Scenario());
}

bool CSimulation::AddInstance(const InstanceKey& key, uint32_t interfaceIndex,
    const std::string& host, uint16_t port, const AddressAnswer* address)
{
    Lock lock(m_mutex);
    EnsureLoaded();
    Advance();
    Instance* inst = FindInstance(key);
    if (!inst) {
        Instance created;
        created.key = key;
        created.host = host;
        created.interfaces = {interfaceIndex};
        created.port = port;
        if (address)
            created.addresses.push_back(*address);
        m_instances.push_back(created);
        inst = &m_instances.back();
    }
    Announce(*inst, interfaceIndex);
    return true;
}

bool CSimulation::ApplyNow(const TimelineEvent& event)
{
    Lock lock(m_mutex);
    EnsureLoaded();
    Advance();
    if (!FindInstance(event.key))
        return false;
    ApplyEvent(event);
    return true;
}

bool CSimulation::RemoveInstance(const InstanceKey& key, uint32_t interfaceIndex)
{
    TimelineEvent event;
    event.kind = EventKind::Remove;
    event.key = key;
    if (interfaceIndex != 0)
        event.interfaces = {interfaceIndex};
    return ApplyNow(event);
}

int CSimulation::Seen(const InstanceKey& key)
{
    Lock lock(m_mutex);
    EnsureLoaded();
    Advance();
    const Instance* inst = FindInstance(key);
    return inst ? (inst->seenOn.empty() ? 0 : 1) : -1;
}

bool CSimulation::SetTxt(const InstanceKey& key, const std::string& rdata)
{
    TimelineEvent event;
    event.kind = EventKind::Txt;
    event.key = key;
    event.txt = rdata;
    return ApplyNow(event);
}

void CSimulation::InjectError(const ErrorInjection& injection)
{
    Lock lock(m_mutex);
    EnsureLoaded();
    m_errors.push_back(injection);
    if (injection.fault != Fault::ProcessError)
        return;
    // The daemon's failure shows on the socket: wake whoever waits on it.
    for (auto& entry : m_refs) {
        _DNSServiceRef_t& op = *entry.second;
        if (op.call == injection.call && op.bytesSignalled == 0 && op.sockets.Signal())
            ++op.bytesSignalled;
    }
    m_replyCv.notify_all();
}

std::vector<ZanviDnssdReconfirm> CSimulation::Reconfirms()
{
    Lock lock(m_mutex);
    return m_reconfirms;
}

int CSimulation::OpenReferences()
{
    Lock lock(m_mutex);
    return static_cast<int>(m_refs.size());
}

}  // namespace dnssd_sim
