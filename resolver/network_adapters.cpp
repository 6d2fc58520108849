#include "network_adapters.h"

#include <strsafe.h>

#include <cwctype>

#include "ansi_text.h"
#include "log.h"
#include "proc_address.h"

std::vector<NetworkAdapter> g_Adapters;
CMutex g_AdaptersLock;
std::atomic<HMODULE> g_hIphlpapi{nullptr};

namespace {

constexpr std::size_t kDescriptionChars = MAX_ADAPTER_DESCRIPTION_LENGTH + 4;
constexpr std::size_t kAdapterNameChars = MAX_ADAPTER_NAME_LENGTH + 4;
constexpr std::size_t kAddressChars = 50;
constexpr std::size_t kKeyPathChars = 512;
constexpr DWORD kNameValueBytes = 1024;

GetAdaptersInfoFn RealFindGetAdaptersInfo(HMODULE iphlpapi)
{
    return ProcAddress<GetAdaptersInfoFn>(iphlpapi, "GetAdaptersInfo");
}

const AdapterPlatform kReal{RealFindGetAdaptersInfo};
AdapterPlatform g_adapterPlatform = kReal;

// Closes a registry key on every path.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { if (m_key) RegCloseKey(m_key); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

}  // namespace

AdapterPlatform& AdapterPlatformCalls() { return g_adapterPlatform; }
const AdapterPlatform& RealAdapterPlatform() { return kReal; }

bool AdapterRecords::Read(HMODULE iphlpapi)
{
    m_records.clear();
    GetAdaptersInfoFn getAdaptersInfo = g_adapterPlatform.findGetAdaptersInfo(iphlpapi);
    if (!getAdaptersInfo) return false;

    // First with room for one record; when that is too small, with the size the call asked for.
    m_records.resize(1);
    ULONG size = sizeof(IP_ADAPTER_INFO);
    if (getAdaptersInfo(m_records.data(), &size) != ERROR_SUCCESS) {
        const std::size_t count = (size + sizeof(IP_ADAPTER_INFO) - 1) / sizeof(IP_ADAPTER_INFO);
        m_records.assign(count > 0 ? count : 1, IP_ADAPTER_INFO{});
        size = static_cast<ULONG>(m_records.size() * sizeof(IP_ADAPTER_INFO));
        if (getAdaptersInfo(m_records.data(), &size) != ERROR_SUCCESS) {
            m_records.clear();
            return false;
        }
    }
    WriteLog(L"D:", L"GetNetworkInterfaces(): Network Adapters:");
    return true;
}

void GetNetworkInterfaces(const std::atomic<bool>* exitFlag)
{
    {
        std::lock_guard<CMutex> lock(g_AdaptersLock);
        g_Adapters.clear();
    }
    AdapterRecords records;
    if (!records.Read(g_hIphlpapi)) return;

    std::vector<NetworkAdapter> adapters;
    int position = 0;
    for (const IP_ADAPTER_INFO* p = records.First(); p; p = p->Next, ++position) {
        if (exitFlag && *exitFlag) {
            WriteLog(L"D:", L">>> GetNetworkInterfaces() - exit signaled");
            break;
        }
        _log_adapter_info(p, position);
        NetworkAdapter adapter;
        adapter.description = WidenAnsi(p->Description, kDescriptionChars);
        adapter.type = static_cast<int32_t>(p->Type);
        adapter.index = static_cast<int32_t>(p->Index);
        adapters.push_back(adapter);
    }
    std::lock_guard<CMutex> lock(g_AdaptersLock);
    g_Adapters.swap(adapters);
}

int32_t FindUSBInterface()
{
    static const wchar_t* const kMarks[] = {L"rndis", L"RNDIS", L"ORBAL", L"orbal", L"Remote NDIS"};
    std::lock_guard<CMutex> lock(g_AdaptersLock);
    for (const NetworkAdapter& adapter : g_Adapters) {
        for (const wchar_t* mark : kMarks) {
            if (Contains(adapter.description, mark)) {
                WriteLog(L"D:", L"FindUSBInterface(): Using '%s' (adapter index:%d)",
                         adapter.description.c_str(), adapter.index);
                return adapter.index;
            }
        }
    }
    return -1;
}

int32_t LookupAdapterType(int32_t index)
{
    std::lock_guard<CMutex> lock(g_AdaptersLock);
    for (const NetworkAdapter& adapter : g_Adapters)
        if (adapter.index == index) return adapter.type;
    return -1;
}

bool isDongle(const std::wstring& description)
{
    std::wstring lower;
    lower.reserve(description.size());
    for (wchar_t c : description) lower += static_cast<wchar_t>(std::towlower(c));
    const bool usb = Contains(lower, L"usb");
    const bool wireless = Contains(lower, L"wireless");
    const bool dongle = (Contains(lower, L"realtek") && wireless) || (usb && wireless) ||
                        (usb && Contains(lower, L"wifi"));
    if (dongle) WriteLog(L"D:", L"isDongle(): Using '%s'", description.c_str());
    return dongle;
}

std::wstring getConnectionID(const char* adapterName)
{
    const std::wstring name = WidenAnsi(adapterName, kAdapterNameChars);
    wchar_t path[kKeyPathChars];
    StringCchPrintfW(path, kKeyPathChars,
                     L"SYSTEM\\CurrentControlSet\\Control\\Network\\"
                     L"{4D36E972-E325-11CE-BFC1-08002BE10318}\\%s\\Connection",
                     name.c_str());
    ScopedKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
        WriteLog(L"D:", L"getConnectionID(): registry path not found");
        return std::wstring();
    }
    // One character more than the value may fill, so the text always ends.
    wchar_t value[kNameValueBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD bytes = kNameValueBytes;
    if (RegQueryValueExW(key.Get(), L"Name", nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        WriteLog(L"E:", L"getConnectionID(): 'Name' setting not found");
        return std::wstring();
    }
    value[bytes / sizeof(wchar_t)] = L'\0';
    WriteLog(L"D:", L"getConnectionID(): '%s' ==> '%s'", name.c_str(), value);
    return value;
}

const wchar_t* AdapterTypeName(int32_t type)
{
    switch (type) {
    case MIB_IF_TYPE_OTHER: return L"MIB_IF_TYPE_OTHER";
    case MIB_IF_TYPE_ETHERNET: return L"MIB_IF_TYPE_ETHERNET";
    case MIB_IF_TYPE_TOKENRING: return L"MIB_IF_TYPE_TOKENRING";
    case MIB_IF_TYPE_FDDI: return L"MIB_IF_TYPE_FDDI";
    case MIB_IF_TYPE_PPP: return L"MIB_IF_TYPE_PPP";
    case MIB_IF_TYPE_LOOPBACK: return L"MIB_IF_TYPE_LOOPBACK";
    case MIB_IF_TYPE_SLIP: return L"MIB_IF_TYPE_SLIP";
    default: return L"unknown";
    }
}

void LogAddressList(const IP_ADDR_STRING* list)
{
    for (const IP_ADDR_STRING* entry = list; entry; entry = entry->Next) {
        const std::wstring address = WidenAnsi(entry->IpAddress.String, kAddressChars);
        const std::wstring mask = WidenAnsi(entry->IpMask.String, kAddressChars);
        WriteLog(L"D:", L"\t\t\t\t\t  Context: %ul", static_cast<unsigned>(entry->Context));
        WriteLog(L"D:", L"\t\t\t\t\tIpAddress: %s", address.c_str());
        WriteLog(L"D:", L"\t\t\t\t\t   IpMask: %s", mask.c_str());
    }
}

void _log_adapter_info(const IP_ADAPTER_INFO* pAdapter, int position)
{
    if (!pAdapter) {
        WriteLog(L"E:", L"_log_adapter_info(): pAdapter == NULL!");
        return;
    }
    const std::wstring name = WidenAnsi(pAdapter->AdapterName, kAdapterNameChars);
    const std::wstring description = WidenAnsi(pAdapter->Description, kDescriptionChars);
    const BYTE* a = pAdapter->Address;
    const int type = static_cast<int>(pAdapter->Type);

    WriteLog(L"D:", L"--Adapter[%d]----------------------------------------------------------------------",
             position);
    WriteLog(L"D:", L"\t        Combo Index: %ul", static_cast<unsigned>(pAdapter->ComboIndex));
    WriteLog(L"D:", L"\t       Adapter Name: %s", name.c_str());
    WriteLog(L"D:", L"\t        Description: %s", description.c_str());
    WriteLog(L"D:", L"\t     Address Length: %u", static_cast<unsigned>(pAdapter->AddressLength));
    WriteLog(L"D:", L"\t         HW Address: 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X",
             a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    WriteLog(L"D:", L"\t              Index: %d", static_cast<int>(pAdapter->Index));
    WriteLog(L"D:", L"\t               Type: %s [%d]", AdapterTypeName(type), type);
    WriteLog(L"D:", L"\t        DhcpEnabled: %u", static_cast<unsigned>(pAdapter->DhcpEnabled));
    if (pAdapter->CurrentIpAddress) {
        WriteLog(L"D:", L"\t   CurrentIpAddress:");
        LogAddressList(pAdapter->CurrentIpAddress);
    } else {
        WriteLog(L"D:", L"\t   CurrentIpAddress: <null>");
    }
    WriteLog(L"D:", L"\t      IpAddressList:");
    LogAddressList(&pAdapter->IpAddressList);
    WriteLog(L"D:", L"\t        GatewayList:");
    LogAddressList(&pAdapter->GatewayList);
    WriteLog(L"D:", L"\t         DhcpServer:");
    LogAddressList(&pAdapter->DhcpServer);
    WriteLog(L"D:", L"\t           HaveWins: %d", static_cast<int>(pAdapter->HaveWins));
    WriteLog(L"D:", L"\t  PrimaryWinsServer:");
    LogAddressList(&pAdapter->PrimaryWinsServer);
    WriteLog(L"D:", L"\tSecondaryWinsServer:");
    LogAddressList(&pAdapter->SecondaryWinsServer);
}
