#include "dnssd_library.h"

#include "doctor_report.h"

namespace {

const wchar_t kDnssdLibrary[] = L"dnssd.dll";

struct ErrorName {
    DNSServiceErrorType code;
    const char* name;
};

#define ERROR_NAME(name) {name, #name}
const ErrorName kErrorNames[] = {
    ERROR_NAME(kDNSServiceErr_NoError),
    ERROR_NAME(kDNSServiceErr_Unknown),
    ERROR_NAME(kDNSServiceErr_NoSuchName),
    ERROR_NAME(kDNSServiceErr_NoMemory),
    ERROR_NAME(kDNSServiceErr_BadParam),
    ERROR_NAME(kDNSServiceErr_BadReference),
    ERROR_NAME(kDNSServiceErr_BadState),
    ERROR_NAME(kDNSServiceErr_BadFlags),
    ERROR_NAME(kDNSServiceErr_Unsupported),
    ERROR_NAME(kDNSServiceErr_NotInitialized),
    ERROR_NAME(kDNSServiceErr_AlreadyRegistered),
    ERROR_NAME(kDNSServiceErr_NameConflict),
    ERROR_NAME(kDNSServiceErr_Invalid),
    ERROR_NAME(kDNSServiceErr_Firewall),
    ERROR_NAME(kDNSServiceErr_Incompatible),
    ERROR_NAME(kDNSServiceErr_BadInterfaceIndex),
    ERROR_NAME(kDNSServiceErr_Refused),
    ERROR_NAME(kDNSServiceErr_NoSuchRecord),
    ERROR_NAME(kDNSServiceErr_NoAuth),
    ERROR_NAME(kDNSServiceErr_NoSuchKey),
    ERROR_NAME(kDNSServiceErr_NATTraversal),
    ERROR_NAME(kDNSServiceErr_DoubleNAT),
    ERROR_NAME(kDNSServiceErr_BadTime),
    ERROR_NAME(kDNSServiceErr_BadSig),
    ERROR_NAME(kDNSServiceErr_BadKey),
    ERROR_NAME(kDNSServiceErr_Transient),
    ERROR_NAME(kDNSServiceErr_ServiceNotRunning),
    ERROR_NAME(kDNSServiceErr_NATPortMappingUnsupported),
    ERROR_NAME(kDNSServiceErr_NATPortMappingDisabled),
    ERROR_NAME(kDNSServiceErr_NoRouter),
    ERROR_NAME(kDNSServiceErr_PollingMode),
    ERROR_NAME(kDNSServiceErr_Timeout),
};
#undef ERROR_NAME

}  // namespace

bool CDnssdLibrary::Load(const std::wstring& folder, std::wstring& error)
{
    m_missing.clear();
    if (!m_library.Load(folder, kDnssdLibrary, error)) return false;
    auto bind = [&](const char* name, auto& fn) {
        std::wstring ignored;
        if (!m_library.Bind(name, fn, ignored)) m_missing.push_back(name);
    };
    bind("DNSServiceBrowse", m_calls.browse);
    bind("DNSServiceQueryRecord", m_calls.queryRecord);
    bind("DNSServiceReconfirmRecord", m_calls.reconfirmRecord);
    bind("DNSServiceResolve", m_calls.resolve);
    bind("DNSServiceGetAddrInfo", m_calls.getAddrInfo);
    bind("DNSServiceRefSockFD", m_calls.refSockFD);
    bind("DNSServiceProcessResult", m_calls.processResult);
    bind("DNSServiceRefDeallocate", m_calls.refDeallocate);
    return true;
}

std::string DnssdErrorText(DNSServiceErrorType code)
{
    for (const ErrorName& entry : kErrorNames)
        if (entry.code == code) return Format("%s (%ld)", entry.name, static_cast<long>(code));
    return Format("error %ld", static_cast<long>(code));
}
