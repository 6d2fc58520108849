// Conversions between the system ANSI code page and UTF-16, and cutting into fixed buffers.
#pragma once

#include <cstddef>
#include <string>

std::wstring WidenAcp(const std::string& text);
std::string NarrowAcp(const std::wstring& text);

// Copies text into a fixed buffer of count characters: cut to count - 1, always terminated.
void CopyCut(char* destination, std::size_t count, const std::string& text);
void CopyCut(wchar_t* destination, std::size_t count, const std::wstring& text);

template <std::size_t N>
void CopyCut(char (&destination)[N], const std::string& text)
{
    CopyCut(destination, N, text);
}

template <std::size_t N>
void CopyCut(wchar_t (&destination)[N], const std::wstring& text)
{
    CopyCut(destination, N, text);
}
