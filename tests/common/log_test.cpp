#include "log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "test_thread.h"

namespace {

TEST(WriteLogTest, LineIsTagStampAndMessageWithNewline)
{
    DebugOutputCapture capture;
    SYSTEMTIME before;
    GetLocalTime(&before);
    WriteLog(L"E:", L"Got error %d", 5);

    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::wstring& line = lines[0];
    ASSERT_TRUE(HasWellFormedStamp(line)) << line;
    EXPECT_EQ(line.substr(0, 3), L"E:[");
    EXPECT_EQ(line.substr(line.size() - 14), L"] Got error 5\n");
    wchar_t year[8];
    swprintf(year, 8, L"%04u", before.wYear);
    EXPECT_EQ(line.substr(3, 4), year);
    EXPECT_EQ(capture.Messages(), std::vector<std::wstring>{L"E:Got error 5"});
}

TEST(WriteLogTest, PercentSTakesAWideString)
{
    DebugOutputCapture capture;
    WriteLog(L"D:", L">> %s(%s, %d)", L"Zanviresolver_Execute", L"DEMO-01", 7);
    EXPECT_EQ(capture.Messages(), std::vector<std::wstring>{L"D:>> Zanviresolver_Execute(DEMO-01, 7)"});
}

TEST(WriteLogTest, EmptyTagLineBeginsWithBracket)
{
    DebugOutputCapture capture;
    WriteLog(L"", L"x");
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][0], L'[');
    EXPECT_TRUE(HasWellFormedStamp(lines[0]));
}

TEST(WriteLogTest, LongMessageIsCutTo1023CharactersWithoutNewline)
{
    DebugOutputCapture capture;
    std::wstring message(2000, L'x');
    WriteLog(L"D:", L"%s", message.c_str());
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 1023u);
    EXPECT_EQ(lines[0].back(), L'x');
    EXPECT_EQ(lines[0].substr(0, 3), L"D:[");
}

TEST(WriteLogTest, PercentInAnArgumentIsKept)
{
    DebugOutputCapture capture;
    WriteLog(L"D:", L"%s", L"100%d %s");
    EXPECT_EQ(capture.Messages(), std::vector<std::wstring>{L"D:100%d %s"});
}

TEST(WriteLogTest, ConcurrentCallersNeverMixLines)
{
    DebugOutputCapture capture;
    const int kThreads = 4, kLines = 200;
    std::vector<std::unique_ptr<TestThread>> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.push_back(std::make_unique<TestThread>([t] {
            for (int i = 0; i < kLines; ++i) WriteLog(L"D:", L"thread %d line %d %s", t, i, L"end");
        }));
    for (auto& thread : threads) thread->Join();

    auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), static_cast<size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const std::wstring& m : messages) {
        int t = -1, i = -1;
        wchar_t end[8] = {};
        ASSERT_EQ(swscanf(m.c_str(), L"D:thread %d line %d %3ls", &t, &i, end), 3) << m;
        ASSERT_TRUE(t >= 0 && t < kThreads) << m;
        EXPECT_EQ(i, next[t]++) << m;
        EXPECT_EQ(std::wstring(end), L"end");
    }
}

}  // namespace
