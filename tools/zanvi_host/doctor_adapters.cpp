// 2. The adapters as the resolver sees them, and which it takes for which link.
#include "doctor_sections.h"
#include "service_text.h"

namespace {

std::string TypeText(int32_t type)
{
    if (type == kAdapterTypeEthernet) return "Ethernet";
    if (type == kAdapterTypeWireless) return "IEEE 802.11";
    return Format("type %d", static_cast<int>(type));
}

// The adapters of one type, the USB link left out.
std::string IndexesOfType(const AdapterSurvey& survey, int32_t type)
{
    std::string list;
    for (const AdapterView& adapter : survey.adapters)
        if (adapter.type == type && adapter.index != survey.usbIndex)
            list += (list.empty() ? "" : ", ") + Format("%d", static_cast<int>(adapter.index));
    return list.empty() ? "none" : list;
}

}  // namespace

void ReportAdapters(CDoctorReport& report, const AdapterSurvey& survey)
{
    report.Heading("2. Adapters as the resolver sees them");
    if (!survey.read) {
        report.Line("The adapter list cannot be read");
        report.Problem("the resolver cannot read the PC's adapter list",
                       "check that the IP helper library of Windows (iphlpapi.dll) is intact");
        return;
    }
    report.Line(Format("%5s  %-12s %-16s %s", "Index", "Type", "IPv4", "Description"));
    for (const AdapterView& adapter : survey.adapters)
        report.Line(Format("%5d  %-12s %-16s %s", static_cast<int>(adapter.index), TypeText(adapter.type).c_str(),
                           adapter.ipv4.empty() ? "none" : adapter.ipv4.c_str(),
                           ToDisplayText(adapter.description).c_str()));
    if (survey.usbIndex == -1)
        report.Line("USB link (Remote NDIS): no USB adapter");
    else
        report.Line(Format("USB link (Remote NDIS): adapter %d", static_cast<int>(survey.usbIndex)));
    if (survey.haveDongle)
        report.Line(Format("Wi-Fi dongle (for the VCI's ad-hoc network): adapter %d, %s",
                           static_cast<int>(survey.dongle.index),
                           survey.dongle.connectionID.empty()
                               ? "no connection name"
                               : ("connection \"" + ToDisplayText(survey.dongle.connectionID) + "\"").c_str()));
    else
        report.Line("Wi-Fi dongle (for the VCI's ad-hoc network): none");
    report.Line("Wi-Fi adapters: " + IndexesOfType(survey, kAdapterTypeWireless));
    report.Line("Ethernet adapters: " + IndexesOfType(survey, kAdapterTypeEthernet));

    if (survey.adapters.empty())
        report.Problem("the resolver sees no network adapter",
                       "enable the PC's network adapters and connect the VCI");
    else if (survey.usbIndex == -1)
        report.Problem("no USB adapter: a VCI on USB cannot be reached, and the update needs one",
                       "connect the VCI with its USB cable and check that Windows shows its Remote NDIS network "
                       "adapter");
    else
        report.Ok();
}
