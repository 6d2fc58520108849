#include "adapter_view.h"

#include <cstring>

#include "ansi_text.h"
#include "doctor_report.h"
#include "network_adapter_info.h"

namespace {

// The IP helper library, for as long as the survey reads through it.
class CIpHelper {
public:
    CIpHelper() : m_module(LoadLibraryW(L"Iphlpapi")) { g_hIphlpapi = m_module; }
    ~CIpHelper()
    {
        g_hIphlpapi = nullptr;
        if (m_module) FreeLibrary(m_module);
    }
    CIpHelper(const CIpHelper&) = delete;
    CIpHelper& operator=(const CIpHelper&) = delete;
    HMODULE Get() const { return m_module; }

private:
    HMODULE m_module;
};

std::string FirstAddress(const IP_ADDR_STRING& list)
{
    for (const IP_ADDR_STRING* entry = &list; entry; entry = entry->Next) {
        std::string address(entry->IpAddress.String, strnlen(entry->IpAddress.String, sizeof(entry->IpAddress.String)));
        if (!address.empty() && address != "0.0.0.0") return address;
    }
    return std::string();
}

}  // namespace

const AdapterView* AdapterSurvey::Find(int32_t index) const
{
    for (const AdapterView& adapter : adapters)
        if (adapter.index == index) return &adapter;
    return nullptr;
}

bool AdapterSurvey::HasType(int32_t type) const
{
    for (const AdapterView& adapter : adapters)
        if (adapter.type == type && adapter.index != usbIndex) return true;
    return false;
}

AdapterSurvey SurveyAdapters()
{
    AdapterSurvey survey;
    CIpHelper ipHelper;
    GetNetworkInterfaces();
    survey.usbIndex = FindUSBInterface();
    AdapterRecords records;
    survey.read = records.Read(ipHelper.Get());
    for (const IP_ADAPTER_INFO* p = records.First(); p; p = p->Next) {
        AdapterView adapter;
        adapter.index = static_cast<int32_t>(p->Index);
        adapter.type = static_cast<int32_t>(p->Type);
        adapter.description = WidenAnsi(p->Description, sizeof(p->Description));
        adapter.ipv4 = FirstAddress(p->IpAddressList);
        survey.adapters.push_back(adapter);
    }
    CNetworkAdapterInfo dongles;
    survey.haveDongle = dongles.getInterfaces(survey.dongle) == 1;
    return survey;
}

std::string AdapterLabel(const AdapterSurvey& survey, uint32_t index)
{
    const int32_t signedIndex = static_cast<int32_t>(index);
    const AdapterView* adapter = survey.Find(signedIndex);
    const char* role = nullptr;
    if (signedIndex == survey.usbIndex) role = "USB link";
    else if (!adapter) role = "not an adapter of this PC";
    else if (adapter->type == kAdapterTypeWireless) role = "Wi-Fi";
    else if (adapter->type == kAdapterTypeEthernet) role = "Ethernet";
    return role ? Format("%u (%s)", static_cast<unsigned>(index), role) : Format("%u", static_cast<unsigned>(index));
}
