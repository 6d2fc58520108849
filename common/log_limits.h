// Working storage of both log builds (characters including the terminator).
#pragma once

#include <cstddef>

namespace logbuf {
constexpr std::size_t kStampChars = 80;    // date text, time text
constexpr std::size_t kLineChars  = 1024;  // message, finished line
}
