// dnssd.dll as the deliverables take it: from their own folder, with the calls they make bound
// by name.
#pragma once

#include <string>
#include <vector>

#include "dns_sd_api.h"
#include "plugin_library.h"

// The calls of the DNS-SD client library that the selector and the resolver make.
struct DnssdEntryPoints {
    PFN_DNSServiceBrowse browse = nullptr;
    PFN_DNSServiceQueryRecord queryRecord = nullptr;
    PFN_DNSServiceReconfirmRecord reconfirmRecord = nullptr;
    PFN_DNSServiceResolve resolve = nullptr;
    PFN_DNSServiceGetAddrInfo getAddrInfo = nullptr;
    PFN_DNSServiceRefSockFD refSockFD = nullptr;
    PFN_DNSServiceProcessResult processResult = nullptr;
    PFN_DNSServiceRefDeallocate refDeallocate = nullptr;
};

class CDnssdLibrary {
public:
    // Loads folder\dnssd.dll and binds every call; false (error says why) when it cannot be
    // loaded. Calls it lacks are listed by Missing().
    bool Load(const std::wstring& folder, std::wstring& error);
    const std::wstring& Path() const { return m_library.Path(); }
    const DnssdEntryPoints& Calls() const { return m_calls; }
    const std::vector<const char*>& Missing() const { return m_missing; }

private:
    CPluginLibrary m_library;
    DnssdEntryPoints m_calls;
    std::vector<const char*> m_missing;
};

// "kDNSServiceErr_ServiceNotRunning (-65563)": the error code by name, with its number.
std::string DnssdErrorText(DNSServiceErrorType code);
