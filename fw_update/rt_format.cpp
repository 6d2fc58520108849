#include "rt_format.h"

#include <cstdio>

namespace {
const size_t kTextChars = 128;
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
int Byte(uint32_t packed, int index) { return static_cast<int>((packed >> (24 - 8 * index)) & 0xFF); }
}  // namespace

std::string FormatVersion(uint32_t packed)
{
    char text[kTextChars] = {};
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", Byte(packed, 0), Byte(packed, 1), Byte(packed, 2), Byte(packed, 3));
    return text;
}

std::string FormatDate(uint32_t packed)
{
    int month = Byte(packed, 1);
    const char* name = (month >= 1 && month <= 12) ? kMonths[month - 1] : "???";
    char text[kTextChars] = {};
    std::snprintf(text, sizeof text, "%s %d, %d", name, Byte(packed, 2), 1970 + Byte(packed, 0));
    return text;
}
