#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

// The stand-in copied into a folder of its own (with a space in its path), as a test of the
// selector would install it.
class VciManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = m_temp.File(L"VCI Manager");
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
        ASSERT_TRUE(CopyInto(SimDir() + L"\\VciManager.exe", m_folder));
    }

    std::wstring Program() const { return m_folder + L"\\VciManager.exe"; }
    std::wstring Marker() const { return m_folder + L"\\VciManager.started"; }

    // Starts the program the way the selector does (verb "open", no parameters) and waits.
    DWORD ShellOpen(const wchar_t* parameters = nullptr)
    {
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = L"open";
        std::wstring file = Program();
        info.lpFile = file.c_str();
        info.lpParameters = parameters;
        info.nShow = SW_SHOW;
        if (!ShellExecuteExW(&info) || !info.hProcess) return 0xFFFFFFFF;
        DWORD code = 0xFFFFFFFF;
        if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
        return code;
    }

    TempDir m_temp;
    std::wstring m_folder;
};

TEST_F(VciManagerTest, EachStartAppendsOneLineBesideTheProgram)
{
    EXPECT_EQ(ShellOpen(), 0u);
    EXPECT_EQ(ReadWholeFile(Marker()), "VciManager started:\r\n");

    EXPECT_EQ(ShellOpen(L"/device \"DEMO 01\""), 0u);
    EXPECT_EQ(ReadWholeFile(Marker()), "VciManager started:\r\nVciManager started: /device DEMO 01\r\n");
}

TEST_F(VciManagerTest, UnwritableMarkerGivesExitCodeOne)
{
    ASSERT_TRUE(CreateDirectoryW(Marker().c_str(), nullptr));  // a folder where the file should be
    EXPECT_EQ(ShellOpen(), 1u);
}

}  // namespace
