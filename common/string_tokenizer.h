// Splits a text at any of a set of delimiter characters; runs of delimiters count as one.
#pragma once

#include <string>
#include <vector>

template <class Ch>
class StringTokenizer {
public:
    using String = std::basic_string<Ch>;

    StringTokenizer(const String& source, const String& delimiters)
        : m_source(source), m_delimiters(delimiters), m_position(0) {}

    // The next token, or an empty text when none is left.
    String nextToken()
    {
        if (m_source.empty()) return String();
        m_token.clear();
        while (m_position < m_source.size() && IsDelimiter(m_source[m_position])) ++m_position;
        while (m_position < m_source.size() && !IsDelimiter(m_source[m_position]))
            m_token += m_source[m_position++];
        return m_token;
    }

private:
    bool IsDelimiter(Ch c) const { return m_delimiters.find(c) != String::npos; }

    String m_source;
    String m_token;
    String m_delimiters;
    typename String::size_type m_position;
};

// Every token of text, in order.
inline std::vector<std::string> SplitTokens(const std::string& text, const std::string& delimiters)
{
    std::vector<std::string> tokens;
    StringTokenizer<char> tokenizer(text, delimiters);
    for (std::string token = tokenizer.nextToken(); !token.empty(); token = tokenizer.nextToken())
        tokens.push_back(token);
    return tokens;
}
