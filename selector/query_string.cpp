#include "query_string.h"

#include "string_tokenizer.h"

QueryString::QueryString(const std::wstring& text) : m_strRaw(text)
{
    Parse();
}

std::wstring QueryString::Lookup(const std::wstring& key) const
{
    auto it = m_pairs.find(key);
    return it == m_pairs.end() ? std::wstring() : it->second;
}

void QueryString::Parse()
{
    StringTokenizer<wchar_t> pieces(m_strRaw, L"&");
    for (std::wstring piece = pieces.nextToken(); !piece.empty(); piece = pieces.nextToken()) {
        StringTokenizer<wchar_t> parts(piece, L"=");
        for (;;) {
            std::wstring key = parts.nextToken();
            if (key.empty()) break;
            std::wstring value = parts.nextToken();
            // emplace keeps the first value of a repeated key.
            if (!value.empty()) m_pairs.emplace(key, value);
        }
    }
}
