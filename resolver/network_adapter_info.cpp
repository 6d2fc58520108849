#include "network_adapter_info.h"

#include <vector>

#include "ansi_text.h"
#include "log.h"

CNetworkAdapterInfo::CNetworkAdapterInfo() : m_hIphlpapi(LoadLibraryW(L"Iphlpapi")) {}

CNetworkAdapterInfo::~CNetworkAdapterInfo()
{
    if (m_hIphlpapi) FreeLibrary(m_hIphlpapi);
}

int CNetworkAdapterInfo::getInterfaces(NetworkAdapter& result)
{
    AdapterRecords records;
    if (!records.Read(m_hIphlpapi)) {
        WriteLog(L"E:", L"CNetworkAdapterInfo::getInterfaces() failed.");
        return 0;
    }
    std::vector<NetworkAdapter> adapters;
    for (const IP_ADAPTER_INFO* p = records.First(); p; p = p->Next) {
        NetworkAdapter adapter;
        adapter.name = WidenAnsi(p->AdapterName, sizeof(p->AdapterName));
        adapter.description = WidenAnsi(p->Description, sizeof(p->Description));
        adapter.connectionID = getConnectionID(p->AdapterName);
        adapter.type = static_cast<int32_t>(p->Type);
        adapter.index = static_cast<int32_t>(p->Index);
        adapters.push_back(adapter);
    }
    for (const NetworkAdapter& adapter : adapters) {
        if (isDongle(adapter.description)) {
            result = adapter;
            return 1;
        }
    }
    return 0;
}
