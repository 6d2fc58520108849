// The simulated network and every open reference, behind one lock. A clock thread runs while
// references are open: it plays the scenario's timeline and signals replies when they fall
// due. Callbacks run only inside ProcessResult, on the caller's thread, outside the lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dnssd_steering.h"
#include "scenario.h"
#include "service_ref.h"
#include "win32_sync.h"

namespace dnssd_sim {

class CSimulation {
public:
    static CSimulation& Get();

    // Registers a prepared operation and queues its first answers; on success *out holds it.
    DNSServiceErrorType Start(std::shared_ptr<_DNSServiceRef_t> op, DNSServiceRef* out);
    DNSServiceErrorType Reconfirm(DNSServiceFlags flags, uint32_t interfaceIndex,
        const char* fullname, uint16_t rrtype, uint16_t rrclass, uint16_t rdlen,
        const void* rdata);
    dnssd_sock_t SockFD(DNSServiceRef ref);
    DNSServiceErrorType ProcessResult(DNSServiceRef ref);
    void Deallocate(DNSServiceRef ref);

    bool LoadScenario(const std::wstring& path, const std::string& label);
    std::string LastError();
    void Reset();
    bool AddInstance(const InstanceKey& key, uint32_t interfaceIndex, const std::string& host,
        uint16_t port, const AddressAnswer* address);
    bool RemoveInstance(const InstanceKey& key, uint32_t interfaceIndex);
    // 1 when browses see the instance now (on any interface), 0 when not, -1 for no instance.
    int Seen(const InstanceKey& key);
    bool SetTxt(const InstanceKey& key, const std::string& rdata);
    void InjectError(const ErrorInjection& injection);
    std::vector<ZanviDnssdReconfirm> Reconfirms();
    int OpenReferences();

    void RunClock();  // body of the clock thread

private:
    using Lock = std::unique_lock<CMutex>;
    using OpPtr = std::shared_ptr<_DNSServiceRef_t>;
    using Timeline = std::multimap<uint64_t, TimelineEvent>;  // by due tick

    CSimulation() = default;
    void EnsureLoaded();
    void Install(const Scenario& scenario);
    OpPtr Find(DNSServiceRef ref);
    // Whether a call may go ahead: the scenario loaded and no failure is armed for it.
    DNSServiceErrorType Admit(Call call);
    bool TakeInjection(Call call, Fault fault, int32_t& code, ErrorInjection* taken = nullptr);
    Instance* FindInstance(const InstanceKey& key);

    void Advance();
    void ApplyEvent(const TimelineEvent& event);
    bool ApplyNow(const TimelineEvent& event);  // a steering change: false for no instance
    uint64_t NextDue() const;
    bool StartClock();

    void QueueFirstAnswers(_DNSServiceRef_t& op);
    void QueueEndOfQuestion(_DNSServiceRef_t& op, bool answered);
    bool QueueAnswers(_DNSServiceRef_t& op, const Instance& inst, uint32_t index,
        uint64_t due,
        DNSServiceFlags cacheFlag = 0);
    void QueueRemoval(_DNSServiceRef_t& op, const Instance& inst, uint32_t index);
    void Queue(_DNSServiceRef_t& op, const Reply& reply, uint64_t due);
    void Announce(Instance& inst, uint32_t index);
    void Withdraw(Instance& inst, uint32_t index);
    Timeline::iterator FindGoodbye(const InstanceKey& key, uint32_t index);
    void CancelGoodbye(const InstanceKey& key, uint32_t index);
    void Goodbye(Instance& inst, uint32_t index);
    void CancelFlush(const InstanceKey& key);
    void Flush(Instance& inst);
    void ChangeTxt(Instance& inst, const std::string& rdata);
    void Deliver(_DNSServiceRef_t& op, const Reply& reply);

    CMutex m_mutex;
    CConditionVariable m_replyCv;  // a reference got replies or was deallocated
    CConditionVariable m_clockCv;  // something new to schedule
    bool m_loaded = false;
    bool m_clockRunning = false;
    std::string m_loadError;  // the scenario in force failed to load: the daemon is "down"
    std::string m_lastError;
    uint64_t m_startTick = 0;
    uint32_t m_replyDelayMs = 2;
    uint32_t m_flushDelayMs = 20;
    uint32_t m_negativeDelayMs = 50;
    uint32_t m_goodbyeDelayMs = 1000;
    uint32_t m_queryTimeoutMs = 5000;
    bool m_negativeReplies = false;
    std::vector<Instance> m_instances;
    Timeline m_timeline;
    std::vector<ErrorInjection> m_errors;
    std::vector<ZanviDnssdReconfirm> m_reconfirms;
    std::map<DNSServiceRef, OpPtr> m_refs;
};

}  // namespace dnssd_sim
