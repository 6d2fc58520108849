// The dnssd stand-in as the deliverables use it: loaded with LoadLibraryW from a path, its
// calls bound with GetProcAddress; plus what the tests need to collect and pump replies.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dns_sd_api.h"
#include "dnssd_steering.h"
#include "win32_sync.h"

class CDnssdClient {
public:
    explicit CDnssdClient(const std::wstring& path);
    ~CDnssdClient();
    CDnssdClient(const CDnssdClient&) = delete;
    CDnssdClient& operator=(const CDnssdClient&) = delete;

    HMODULE Module() const { return m_module; }
    bool Complete() const;  // loaded, and every entry point bound

    PFN_DNSServiceBrowse Browse = nullptr;
    PFN_DNSServiceQueryRecord QueryRecord = nullptr;
    PFN_DNSServiceReconfirmRecord ReconfirmRecord = nullptr;
    PFN_DNSServiceResolve Resolve = nullptr;
    PFN_DNSServiceGetAddrInfo GetAddrInfo = nullptr;
    PFN_DNSServiceRefSockFD RefSockFD = nullptr;
    PFN_DNSServiceProcessResult ProcessResult = nullptr;
    PFN_DNSServiceRefDeallocate RefDeallocate = nullptr;

    PFN_ZanviDnssdLoadScenario LoadScenario = nullptr;
    PFN_ZanviDnssdLastError LastError = nullptr;
    PFN_ZanviDnssdReset Reset = nullptr;
    PFN_ZanviDnssdAddInstance AddInstance = nullptr;
    PFN_ZanviDnssdRemoveInstance RemoveInstance = nullptr;
    PFN_ZanviDnssdSetTxt SetTxt = nullptr;
    PFN_ZanviDnssdInjectError InjectError = nullptr;
    PFN_ZanviDnssdReconfirmCount ReconfirmCount = nullptr;
    PFN_ZanviDnssdGetReconfirm GetReconfirm = nullptr;
    PFN_ZanviDnssdOpenReferences OpenReferences = nullptr;

    std::string LastErrorText() const;
    // Readable within timeoutMs, as select on the reference's socket tells.
    bool WaitReadable(DNSServiceRef ref, DWORD timeoutMs) const;

private:
    HMODULE m_module;
};

// dnssd.dll from the test program's own folder, loaded once for the process.
CDnssdClient& Dnssd();

// One reply of any kind, copied out of the callback.
struct Answer {
    DNSServiceRef ref = nullptr;
    DNSServiceFlags flags = 0;
    uint32_t interfaceIndex = 0;
    DNSServiceErrorType error = 0;
    std::string name;  // browse: instance; query, resolve: full name; lookup: host name
    std::string regtype;
    std::string domain;
    std::string host;
    uint16_t port = 0;  // host order
    std::string data;   // query rdata or resolve TXT
    uint16_t rrtype = 0;
    uint16_t rrclass = 0;
    bool hasAddress = false;
    int family = 0;
    std::string address;  // dotted IPv4 when family is AF_INET
};

// Collects replies; pass it as the context of a call with the matching callback.
class CAnswers {
public:
    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags, uint32_t,
        DNSServiceErrorType, const char*, const char*, const char*, void*);
    static void DNSSD_API OnQuery(DNSServiceRef, DNSServiceFlags, uint32_t,
        DNSServiceErrorType, const char*, uint16_t, uint16_t, uint16_t, const void*, uint32_t,
        void*);
    static void DNSSD_API OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t,
        DNSServiceErrorType, const char*, const char*, uint16_t, uint16_t,
        const unsigned char*, void*);
    static void DNSSD_API OnAddrInfo(DNSServiceRef, DNSServiceFlags, uint32_t,
        DNSServiceErrorType, const char*, const sockaddr*, uint32_t, void*);

    std::vector<Answer> Get() const;
    size_t Count() const;
    // Processes the reference's replies until count answers arrived or timeoutMs passed.
    bool PumpUntil(DNSServiceRef ref, size_t count, DWORD timeoutMs = 3000);

private:
    void Add(const Answer& answer);
    mutable CMutex m_lock;
    std::vector<Answer> m_list;
};

// A reference deallocated when the test leaves its scope.
class CRef {
public:
    CRef() = default;
    ~CRef() { Release(); }
    CRef(const CRef&) = delete;
    CRef& operator=(const CRef&) = delete;
    DNSServiceRef* operator&() { return &m_ref; }
    DNSServiceRef Get() const { return m_ref; }
    void Release();

private:
    DNSServiceRef m_ref = nullptr;
};

// A browse's answers in arrival order: "+NAME@INDEX" for an add, "-NAME@INDEX" for a removal.
std::vector<std::string> BrowseEvents(const CAnswers& answers);

// Writes scenario text to a file and makes it the running scenario; "" on success, else the
// stand-in's error text.
std::string LoadScenarioText(const std::string& text);
