// A command line of key=value pairs joined by "&", parsed once at construction.
#pragma once

#include <map>
#include <string>

class QueryString {
public:
    explicit QueryString(const std::wstring& text);
    virtual ~QueryString() = default;

    // The value stored for key, or an empty text when the key is absent.
    std::wstring Lookup(const std::wstring& key) const;

private:
    void Parse();

    std::wstring m_strRaw;
    std::map<std::wstring, std::wstring> m_pairs;
};
