#include "string_tokenizer.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* text;
    const char* delimiters;
    std::vector<std::string> tokens;
};

class SplitTokensTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTokensTest, GivesTheTokensInOrder)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(SplitTokens(c.text, c.delimiters), c.tokens);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitTokensTest, ::testing::Values(
    SplitCase{",a,,b,", ",", {"a", "b"}},
    SplitCase{"", ",", {}},
    SplitCase{",,,", ",", {}},
    SplitCase{"key==2", "=", {"key", "2"}},
    SplitCase{"mode=2&x=y", "&=", {"mode", "2", "x", "y"}},
    SplitCase{"DEMO-01._wyn_vci._tcp.local,6800,wifi", ",.-",
              {"DEMO", "01", "_wyn_vci", "_tcp", "local", "6800", "wifi"}},
    SplitCase{"a b", ",", {"a b"}},         // blanks are not delimiters
    SplitCase{"aAb", "A", {"a", "b"}},      // exact, case-sensitive comparison
    SplitCase{"abc", "", {"abc"}}));

TEST(StringTokenizerTest, WideTokenizerSplitsAlike)
{
    StringTokenizer<wchar_t> tokenizer(L"&mode=2&&x", L"&=");
    EXPECT_EQ(tokenizer.nextToken(), L"mode");
    EXPECT_EQ(tokenizer.nextToken(), L"2");
    EXPECT_EQ(tokenizer.nextToken(), L"x");
    EXPECT_EQ(tokenizer.nextToken(), L"");
    EXPECT_EQ(tokenizer.nextToken(), L"");  // stays exhausted
}

}  // namespace
