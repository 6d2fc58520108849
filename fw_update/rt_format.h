// Texts of the runtime's packed version and date values.
#pragma once

#include <cstdint>
#include <string>

// Bytes most significant first: "1.2.3.4".
std::string FormatVersion(uint32_t packed);
// Bytes year-1970, month, day: "Dec 15, 2013"; a month outside 1 to 12 reads "???".
std::string FormatDate(uint32_t packed);
