// VCIs as DNS-SD shows them now: a browse for a while, and for every instance its TXT record,
// its resolve answers (one per adapter it answers on) and the IPv4 address of each answer's
// host, asked as the resolver asks. One event loop on the calling thread serves them all.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "dnssd_library.h"
#include "link_flags.h"

struct ResolveAnswer {
    uint32_t interfaceIndex = 0;
    std::string hostTarget;     // empty when the answer named none
    uint16_t port = 0;
    DWORD resolveMs = 0;        // from the start of the resolve to this answer
    bool addressEnded = false;  // the address lookup has given its last answer
    std::string ipv4;           // the first usable IPv4 address it gave, empty when none
    DWORD addressMs = 0;        // from the start of the lookup to that address (or to its end)
};

struct ServiceInstance {
    std::string name;                   // the instance name, "DEMO-01"
    std::string type;                   // "_zeb_vci._tcp", without a final dot
    std::string domain;                 // "local", without a final dot
    bool announced = false;             // the browse reported it at some time
    bool wanted = false;                // asked for by name (a saved selection)
    bool asked = false;                 // its TXT record and its resolve were asked for
    std::vector<uint32_t> interfaces;   // adapters it is announced on when the browse ended
    bool txtAnswered = false;
    VciLinks links{0, 0, 0};            // from its TXT record, by the selector's rule
    std::deque<ResolveAnswer> answers;  // in order of arrival
};

class CVciSurvey {
public:
    // How many instances are examined at most; more are counted but left alone.
    static const size_t kMaxInstances = 40;

    explicit CVciSurvey(const DnssdEntryPoints& calls) : m_calls(calls) {}
    ~CVciSurvey();
    CVciSurvey(const CVciSurvey&) = delete;
    CVciSurvey& operator=(const CVciSurvey&) = delete;

    // Starts a browse of the service type; the call's error code (0 when it started).
    DNSServiceErrorType Browse(const char* type);
    // Whether a browse has started.
    bool Browsing() const;
    // Examines this instance too, whether or not it is announced.
    void Want(const std::string& name, const std::string& type, const std::string& domain);
    // Serves every question until the browse has run browseMs and every question was answered,
    // at most graceMs longer, or until interrupted() answers true; then ends them all. False
    // when it was interrupted.
    bool Run(DWORD browseMs, DWORD graceMs, bool (*interrupted)());

    const std::list<ServiceInstance>& Instances() const { return m_instances; }
    const ServiceInstance* Find(const std::string& name, const std::string& type, const std::string& domain) const;
    size_t Overflow() const { return m_overflow; }  // instances beyond kMaxInstances

private:
    enum class Kind { Browse, Txt, Resolve, Address };
    struct Operation {
        CVciSurvey* survey;
        Kind kind;
        ServiceInstance* instance;
        ResolveAnswer* answer;
        DNSServiceRef ref;
        dnssd_sock_t socket;
        ULONGLONG started;
        bool ended;
    };

    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                   DNSServiceErrorType errorCode, const char* name, const char* type,
                                   const char* domain, void* context);
    static void DNSSD_API OnTxt(DNSServiceRef, DNSServiceFlags, uint32_t, DNSServiceErrorType errorCode,
                                const char*, uint16_t, uint16_t, uint16_t length, const void* data, uint32_t,
                                void* context);
    static void DNSSD_API OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t interfaceIndex,
                                    DNSServiceErrorType, const char*, const char* hostTarget, uint16_t port,
                                    uint16_t, const unsigned char*, void* context);
    static void DNSSD_API OnAddress(DNSServiceRef, DNSServiceFlags flags, uint32_t, DNSServiceErrorType errorCode,
                                    const char*, const struct sockaddr* address, uint32_t, void* context);

    Operation* NewOperation(Kind kind, ServiceInstance* instance, ResolveAnswer* answer);
    // Keeps the operation when the call gave a reference; false (and forgets it) otherwise.
    bool Started(Operation* op, DNSServiceErrorType result);
    ServiceInstance* Instance(const std::string& name, const std::string& type, const std::string& domain);
    void Examine(ServiceInstance& instance);
    bool Settled() const;
    void Serve(DWORD waitMs);
    // Deallocates the operations for which which() answers true and forgets them.
    void EndWhere(bool (*which)(const Operation& op));

    DnssdEntryPoints m_calls;
    std::list<ServiceInstance> m_instances;
    std::list<Operation> m_operations;
    size_t m_overflow = 0;
    bool m_browsing = true;
};
