#include "ansi_text.h"

#include <windows.h>

#include <cstring>

std::wstring WidenAnsi(const char* text, std::size_t maxChars)
{
    if (!text) return std::wstring();
    const int length = static_cast<int>(strnlen(text, maxChars));
    if (length == 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, text, length, &wide[0], length);
    wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return wide;
}

std::string NarrowAnsi(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int wideLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), wideLength, &narrow[0], length, nullptr, nullptr);
    return narrow;
}
