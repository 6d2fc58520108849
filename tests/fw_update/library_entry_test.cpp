// The update plug-in's entry point, seen as a host sees it: load, unload, read the log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "test_files.h"

namespace {

const wchar_t kLoad[] = L"D:~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ <load> ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";
const wchar_t kUnload[] = L"D:~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ <unload> ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~";

void LoadAndUnload(const std::wstring& dll)
{
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    FreeLibrary(module);
}

TEST(LibraryEntryTest, BannersAreSeventyCharacters)
{
    EXPECT_EQ(std::wstring(kLoad).size(), 72u);  // "D:" + 70
    EXPECT_EQ(std::wstring(kUnload).size(), 72u);
}

TEST(LibraryEntryTest, TwoLoadsLeaveFourBannersInTheLogBesideTheLibrary)
{
    TempDir dir;
    ASSERT_TRUE(CopyInto(BinDir() + L"\\zeb_fw_update.dll", dir.Path()));
    DebugOutputCapture capture;
    LoadAndUnload(dir.File(L"zeb_fw_update.dll"));
    LoadAndUnload(dir.File(L"zeb_fw_update.dll"));

    std::string bytes = ReadWholeFile(dir.File(L"zeb_fw_update.dll.log"));
    std::vector<std::wstring> messages;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        messages.push_back(StripStamp(Widen(bytes.substr(start, end - start))));
    EXPECT_EQ(start, bytes.size()) << "every line ends in CRLF";
    std::vector<std::wstring> expected{kLoad, kUnload, kLoad, kUnload};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(capture.Messages(), expected);
}

TEST(LibraryEntryTest, UnwritableLogLeavesLoadingQuietAndSuccessful)
{
    TempDir dir;
    ASSERT_TRUE(CopyInto(BinDir() + L"\\zeb_fw_update.dll", dir.Path()));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"zeb_fw_update.dll.log").c_str(), nullptr));
    DebugOutputCapture capture;
    LoadAndUnload(dir.File(L"zeb_fw_update.dll"));
    EXPECT_TRUE(capture.Lines().empty());
}

}  // namespace
