#include "service_text.h"

#include <windows.h>

namespace {

const wchar_t kOpening[] = L"srv[";
const size_t kOpeningLength = 4;

// strict: no best-fit substitutes, and report characters that have no equivalent.
bool Convert(const std::wstring& text, std::string& out, bool strict)
{
    out.clear();
    if (text.empty()) return true;
    // A UTF-8 system code page maps every character and takes neither the flag nor the report.
    bool utf8 = GetACP() == CP_UTF8;
    DWORD flags = strict && !utf8 ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    BOOL* report = strict && !utf8 ? &usedDefault : nullptr;
    int length = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, report);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, &out[0], n, nullptr, report) != n) return false;
    return !usedDefault;
}

}  // namespace

bool StripServiceWrapping(const std::wstring& text, std::wstring& body, std::wstring& error)
{
    body = text;
    if (text.compare(0, kOpeningLength, kOpening) == 0) {
        if (text.size() <= kOpeningLength || text.back() != L']') {
            error = L"'" + text + L"' starts with 'srv[' but has no closing ']'";
            return false;
        }
        body = text.substr(kOpeningLength, text.size() - kOpeningLength - 1);
    }
    if (body.empty()) {
        error = L"'" + text + L"' holds no service instance";
        return false;
    }
    return true;
}

bool ToAnsiText(const std::wstring& text, std::string& ansi)
{
    return Convert(text, ansi, true);
}

std::string ToDisplayText(const std::wstring& text)
{
    std::string out;
    return Convert(text, out, false) ? out : std::string("?");
}
