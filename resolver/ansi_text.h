// Conversions between the system code page and UTF-16, bounded to a number of characters.
#pragma once

#include <cstddef>
#include <string>

// At most maxChars characters of text (which need not be terminated within them), widened
// from the system code page. A null text gives an empty result.
std::wstring WidenAnsi(const char* text, std::size_t maxChars);
// text in the system code page; characters without a counterpart become the code page's default.
std::string NarrowAnsi(const std::wstring& text);
