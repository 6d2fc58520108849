#include "log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "test_files.h"
#include "test_thread.h"

namespace {

// The file's lines, split at CRLF; a trailing piece without CRLF is returned as the last line.
std::vector<std::string> FileLines(const std::wstring& path)
{
    std::string bytes = ReadWholeFile(path);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

class LogFileTest : public ::testing::Test {
protected:
    TempDir dir;
    CLogFile log;
    std::wstring path = dir.File(L"x.dll.log");
    void SetUp() override { log.SetFileName(Narrow(path).c_str()); }
};

TEST_F(LogFileTest, AppendsStampedLinesWithCrLfAndSendsThemToTheDebugger)
{
    DebugOutputCapture capture;
    log.Write("I:", "run %d of %s", 1, "two");
    log.Write("", "50%% done, %s", "100% sure");

    auto lines = FileLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(HasWellFormedStamp(Widen(lines[0])));
    EXPECT_EQ(StripStamp(Widen(lines[0])), L"I:run 1 of two");
    EXPECT_EQ(lines[1][0], '[');
    EXPECT_EQ(StripStamp(Widen(lines[1])), L"50% done, 100% sure");
    EXPECT_EQ(capture.Messages(), (std::vector<std::wstring>{L"I:run 1 of two", L"50% done, 100% sure"}));
    EXPECT_EQ(capture.Lines()[0], Widen(lines[0]) + L"\n");
}

TEST_F(LogFileTest, LongMessageGivesA1023CharacterLineWithoutNewline)
{
    std::string message(2000, 'm');
    log.Write("D:", "%s", message.c_str());
    log.Write("D:", "next");
    std::string bytes = ReadWholeFile(path);
    size_t firstBreak = bytes.find("\r\n");
    ASSERT_NE(firstBreak, std::string::npos);
    // The cut line has no newline of its own: the next line follows it directly.
    EXPECT_EQ(bytes.find("mD:["), 1022u);
    EXPECT_EQ(firstBreak, 1023u + bytes.substr(1023).find("\r\n"));
}

TEST_F(LogFileTest, UnopenableFileEmitsNothingAnywhere)
{
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));  // the log's name is taken by a folder
    DebugOutputCapture capture;
    log.Write("E:", "lost");
    EXPECT_TRUE(capture.Lines().empty());

    CLogFile unset;
    unset.Write("E:", "lost too");
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(LogFileTest, NullPathKeepsTheStoredPath)
{
    log.SetFileName(nullptr);
    log.Write("D:", "kept");
    EXPECT_EQ(FileLines(path).size(), 1u);
}

TEST_F(LogFileTest, OverlongPathIsCutAndNeverOverruns)
{
    std::string longPath = Narrow(dir.Path()) + "\\" + std::string(400, 'a');
    log.SetFileName(longPath.c_str());  // must not write past the 260-character store
    log.Write("D:", "x");
    std::wstring cut = Widen(longPath.substr(0, CLogFile::kPathChars - 1));
    EXPECT_EQ(FileLines(cut).size(), 1u);
}

TEST_F(LogFileTest, ConcurrentWritersNeverInterleaveLines)
{
    const int kThreads = 4, kLines = 100;
    std::vector<std::unique_ptr<TestThread>> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.push_back(std::make_unique<TestThread>([this, t] {
            for (int i = 0; i < kLines; ++i) log.Write("D:", "thread %d line %d end", t, i);
        }));
    for (auto& thread : threads) thread->Join();

    auto lines = FileLines(path);
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines) {
        std::string m = Narrow(StripStamp(Widen(line)));
        int t = -1, i = -1;
        char end[4] = {};
        ASSERT_EQ(sscanf(m.c_str(), "D:thread %d line %d %3s", &t, &i, end), 3) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(i, next[t]++) << line;
        EXPECT_STREQ(end, "end");
    }
}

}  // namespace
