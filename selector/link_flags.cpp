#include "link_flags.h"

#include <cstring>

void ScanTxtLinks(const unsigned char* data, std::size_t length, VciLinks& links)
{
    // Nothing after the first zero byte is looked at.
    std::size_t end = 0;
    while (data && end < length && data[end] != 0) ++end;
    auto isTrue = [&](std::size_t i) { return i < end && data[i] == 't'; };

    for (std::size_t p = 0; p + 3 <= end; ++p) {
        const char* at = reinterpret_cast<const char*>(data + p);
        if (std::memcmp(at, "eth", 3) == 0) links.eth = isTrue(p + 4);
        if (std::memcmp(at, "wif", 3) == 0) links.wifi = isTrue(p + 5);
        if (std::memcmp(at, "usb", 3) == 0) links.usb = isTrue(p + 4);
    }
}
