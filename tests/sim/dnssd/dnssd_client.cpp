#include "dnssd_client.h"

#include "test_files.h"

namespace {

template <typename Fn>
void Bind(HMODULE module, Fn& fn, const char* name)
{
    fn = module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n < MAX_PATH ? n : 0);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

}  // namespace

CDnssdClient::CDnssdClient(const std::wstring& path) : m_module(LoadLibraryW(path.c_str()))
{
    Bind(m_module, Browse, "DNSServiceBrowse");
    Bind(m_module, QueryRecord, "DNSServiceQueryRecord");
    Bind(m_module, ReconfirmRecord, "DNSServiceReconfirmRecord");
    Bind(m_module, Resolve, "DNSServiceResolve");
    Bind(m_module, GetAddrInfo, "DNSServiceGetAddrInfo");
    Bind(m_module, RefSockFD, "DNSServiceRefSockFD");
    Bind(m_module, ProcessResult, "DNSServiceProcessResult");
    Bind(m_module, RefDeallocate, "DNSServiceRefDeallocate");
    Bind(m_module, LoadScenario, "ZanviDnssdLoadScenario");
    Bind(m_module, LastError, "ZanviDnssdLastError");
    Bind(m_module, Reset, "ZanviDnssdReset");
    Bind(m_module, AddInstance, "ZanviDnssdAddInstance");
    Bind(m_module, RemoveInstance, "ZanviDnssdRemoveInstance");
    Bind(m_module, SetTxt, "ZanviDnssdSetTxt");
    Bind(m_module, InjectError, "ZanviDnssdInjectError");
    Bind(m_module, ReconfirmCount, "ZanviDnssdReconfirmCount");
    Bind(m_module, GetReconfirm, "ZanviDnssdGetReconfirm");
    Bind(m_module, OpenReferences, "ZanviDnssdOpenReferences");
}

CDnssdClient::~CDnssdClient()
{
    if (m_module)
        FreeLibrary(m_module);
}

bool CDnssdClient::Complete() const
{
    return m_module && Browse && QueryRecord && ReconfirmRecord && Resolve && GetAddrInfo &&
           RefSockFD && ProcessResult && RefDeallocate && LoadScenario && LastError && Reset &&
           AddInstance && RemoveInstance && SetTxt && InjectError && ReconfirmCount &&
           GetReconfirm && OpenReferences;
}

std::string CDnssdClient::LastErrorText() const
{
    char buffer[1024] = {};
    LastError(buffer, sizeof(buffer));
    return buffer;
}

bool CDnssdClient::WaitReadable(DNSServiceRef ref, DWORD timeoutMs) const
{
    dnssd_sock_t s = RefSockFD(ref);
    if (s == DNSSD_INVALID_SOCKET)
        return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(s), &readable);
    timeval wait = {static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

namespace {

Answer Header(DNSServiceRef ref, DNSServiceFlags flags, uint32_t index,
    DNSServiceErrorType error, const char* name)
{
    Answer a;
    a.ref = ref;
    a.flags = flags;
    a.interfaceIndex = index;
    a.error = error;
    a.name = name ? name : "(null)";
    return a;
}

}  // namespace

CDnssdClient& Dnssd()
{
    static CDnssdClient client(OwnFolder() + L"dnssd.dll");
    return client;
}

void CAnswers::Add(const Answer& answer)
{
    std::lock_guard<CMutex> lock(m_lock);
    m_list.push_back(answer);
}

std::vector<Answer> CAnswers::Get() const
{
    std::lock_guard<CMutex> lock(m_lock);
    return m_list;
}

size_t CAnswers::Count() const
{
    std::lock_guard<CMutex> lock(m_lock);
    return m_list.size();
}

bool CAnswers::PumpUntil(DNSServiceRef ref, size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (Count() < count && GetTickCount() - start < timeoutMs) {
        if (Dnssd().WaitReadable(ref, 20))
            Dnssd().ProcessResult(ref);
    }
    return Count() >= count;
}

void DNSSD_API CAnswers::OnBrowse(DNSServiceRef ref, DNSServiceFlags flags, uint32_t index,
    DNSServiceErrorType error, const char* name, const char* regtype, const char* domain,
    void* context)
{
    Answer a = Header(ref, flags, index, error, name);
    a.regtype = regtype ? regtype : "(null)";
    a.domain = domain ? domain : "(null)";
    static_cast<CAnswers*>(context)->Add(a);
}

void DNSSD_API CAnswers::OnQuery(DNSServiceRef ref, DNSServiceFlags flags, uint32_t index,
    DNSServiceErrorType error, const char* fullname, uint16_t rrtype, uint16_t rrclass,
    uint16_t rdlen, const void* rdata, uint32_t, void* context)
{
    Answer a = Header(ref, flags, index, error, fullname);
    a.rrtype = rrtype;
    a.rrclass = rrclass;
    a.data.assign(static_cast<const char*>(rdata), rdlen);
    static_cast<CAnswers*>(context)->Add(a);
}

void DNSSD_API CAnswers::OnResolve(DNSServiceRef ref, DNSServiceFlags flags, uint32_t index,
    DNSServiceErrorType error, const char* fullname, const char* host, uint16_t port,
    uint16_t txtLen, const unsigned char* txt, void* context)
{
    Answer a = Header(ref, flags, index, error, fullname);
    a.host = host ? host : "(null)";
    a.port = ntohs(port);
    a.data.assign(reinterpret_cast<const char*>(txt), txtLen);
    static_cast<CAnswers*>(context)->Add(a);
}

void DNSSD_API CAnswers::OnAddrInfo(DNSServiceRef ref, DNSServiceFlags flags, uint32_t index,
    DNSServiceErrorType error, const char* host, const sockaddr* address, uint32_t,
    void* context)
{
    Answer a = Header(ref, flags, index, error, host);
    a.hasAddress = address != nullptr;
    if (address) {
        a.family = address->sa_family;
        if (a.family == AF_INET) {
            const unsigned char* b = reinterpret_cast<const unsigned char*>(
                &reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
            a.address = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." +
                        std::to_string(b[2]) + "." + std::to_string(b[3]);
        }
    }
    static_cast<CAnswers*>(context)->Add(a);
}

void CRef::Release()
{
    if (m_ref)
        Dnssd().RefDeallocate(m_ref);
    m_ref = nullptr;
}

std::vector<std::string> BrowseEvents(const CAnswers& answers)
{
    std::vector<std::string> events;
    for (const Answer& a : answers.Get())
        events.push_back(std::string(a.flags & kDNSServiceFlagsAdd ? "+" : "-") + a.name + "@" +
                         std::to_string(a.interfaceIndex));
    return events;
}

std::string LoadScenarioText(const std::string& text)
{
    TempDir dir;
    std::wstring path = dir.File(L"scenario.txt");
    if (!WriteWholeFile(path, text))
        return "cannot write the scenario file";
    if (Dnssd().LoadScenario(Narrow(path).c_str()) == 0)
        return "";
    return Dnssd().LastErrorText();
}
