#include "acp_text.h"

#include <windows.h>

std::wstring WidenAcp(const std::string& text)
{
    if (text.empty()) return {};
    int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
    std::wstring wide(chars > 0 ? chars : 0, L'\0');
    if (chars > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], chars);
    return wide;
}

std::string NarrowAcp(const std::wstring& text)
{
    if (text.empty()) return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0],
                            bytes, nullptr, nullptr);
    return narrow;
}

void CopyCut(char* destination, std::size_t count, const std::string& text)
{
    if (count == 0) return;
    std::size_t n = text.size() < count - 1 ? text.size() : count - 1;
    text.copy(destination, n);
    destination[n] = '\0';
}

void CopyCut(wchar_t* destination, std::size_t count, const std::wstring& text)
{
    if (count == 0) return;
    std::size_t n = text.size() < count - 1 ? text.size() : count - 1;
    text.copy(destination, n);
    destination[n] = L'\0';
}
