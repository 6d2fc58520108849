// The PC's network adapters as the resolver sees them: its own survey and its own rules for
// which adapter is the USB link and which the Wi-Fi dongle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "network_adapters.h"

struct AdapterView {
    int32_t index = 0;
    int32_t type = 0;
    std::wstring description;
    std::string ipv4;  // the first address of the adapter, empty when it has none
};

struct AdapterSurvey {
    bool read = false;                  // the adapter records could be read
    std::vector<AdapterView> adapters;  // in the platform's order
    int32_t usbIndex = -1;              // the USB link (Remote NDIS), -1 when there is none
    bool haveDongle = false;
    NetworkAdapter dongle;              // the Wi-Fi dongle, with its connection name

    const AdapterView* Find(int32_t index) const;
    bool HasType(int32_t type) const;   // any adapter of that type but the USB link
};

// Takes the resolver's adapter survey; it stays in place for the resolver's answer rule.
AdapterSurvey SurveyAdapters();

// "2 (USB link)", "3 (Wi-Fi)", "4 (Ethernet)", "7": an adapter index and its role.
std::string AdapterLabel(const AdapterSurvey& survey, uint32_t index);
