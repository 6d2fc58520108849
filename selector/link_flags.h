// The links a VCI offers, as its DNS-SD TXT record states them.
#pragma once

#include <cstddef>
#include <cstdint>

// 1 where the instance's TXT record offers the link.
struct VciLinks {
    int32_t usb;
    int32_t wifi;
    int32_t eth;
};

// Sets the flags that the TXT record data names: the keys usb, wifi and eth, each followed by
// one separator byte and a value, a value beginning with 't' meaning the link is there. Raw
// bytes up to the first zero byte are scanned (length bytes included); a later key overrides an
// earlier one and a missing key leaves its flag as it was.
void ScanTxtLinks(const unsigned char* data, std::size_t length, VciLinks& links);
