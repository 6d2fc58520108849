// The shipping plug-in's exports outside a run: export table, results before and after Init,
// rejected calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "debug_capture.h"
#include "plugin_host.h"

namespace {

using Lines = std::vector<std::wstring>;

std::vector<std::string> ExportNames(HMODULE module)
{
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> out;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        out.push_back(reinterpret_cast<const char*>(base + names[i]));
    return out;
}

bool Contains(const Lines& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(PluginExportsTest, ExportTableHoldsExactlyTheTenNames)
{
    PluginHost host(L"ZanviResolver.dll", false);
    ASSERT_TRUE(host.Loaded());
    const std::vector<std::string> expected{
        "Zanviresolver_Cancel",      "Zanviresolver_ErrorLine",   "Zanviresolver_ErrorState",
        "Zanviresolver_Execute",     "Zanviresolver_Free",        "Zanviresolver_Init",
        "Zanviresolver_Progress",    "Zanviresolver_ProgressMax", "Zanviresolver_ServiceName",
        "Zanviresolver_UpdateState"};
    EXPECT_EQ(ExportNames(host.Module()), expected);
}

TEST(PluginExportsTest, BeforeInitTheLibraryAnswersItsStartingValuesAndRejectsExecute)
{
    PluginHost host(L"ZanviResolver.dll", true);
    ASSERT_TRUE(host.Loaded());
    EXPECT_EQ(host.ErrorLine(), 0);
    EXPECT_EQ(host.ServiceName(), 0);
    EXPECT_EQ(host.ProgressMax(), 60);
    EXPECT_EQ(host.Progress(), 0);
    EXPECT_EQ(host.ErrorState(), 0);
    DebugOutputCapture capture;
    EXPECT_EQ(host.Execute(nullptr, host.ipAddress, host.port), 5);
    EXPECT_EQ(host.Execute("VCI-A7._zeb_vci._tcp.local,58713,usb", host.ipAddress, host.port), 5);
    EXPECT_EQ(host.ErrorState(), 5);
    EXPECT_EQ(host.Free(), 3);
    EXPECT_EQ(host.Free(), 3);
    EXPECT_EQ(host.ErrorLine(), 0);
    EXPECT_EQ(capture.Messages(),
              (Lines{L"D:>> Zanviresolver_Execute()", L"E:Zanviresolver_Execute(): pzServiceInstanceName == NULL!",
                     L"D:>> Zanviresolver_Execute()", L"E:Zanviresolver_Execute(): not initialized",
                     L"D:>> Zanviresolver_Free(): g_ExitFlag=true",
                     L"D:Zanviresolver_Free(): after unloading libraries",
                     L"D:>> Zanviresolver_Free(): g_ExitFlag=true",
                     L"D:Zanviresolver_Free(): after unloading libraries"}));
}

TEST(PluginExportsTest, AfterInitUpdateStateAnswersWorkingAndCancelAnswersCanceled)
{
    PluginHost host(L"ZanviResolver.dll", true);
    ASSERT_TRUE(host.Loaded());
    DebugOutputCapture capture;
    EXPECT_EQ(host.Init(), 0);
    const Lines init = capture.Messages();
    ASSERT_GE(init.size(), 2u);
    EXPECT_EQ(init.front(), L"D:>> Zanviresolver_Init(): Enter");
    EXPECT_EQ(init.back(), L"D:Zanviresolver_Init(): returning:0");
    HANDLE named = OpenEventW(SYNCHRONIZE, FALSE, L"Resolver_evResolveDone");
    EXPECT_NE(named, nullptr);
    if (named) CloseHandle(named);

    capture.Clear();
    EXPECT_EQ(host.UpdateState(), 2);
    EXPECT_EQ(capture.Messages(), (Lines{L"D:Zanviresolver_UpdateState(): Progress=0",
                                         L"D:Zanviresolver_UpdateState(): Progress: working"}));
    const DWORD start = GetTickCount();
    EXPECT_EQ(host.Cancel(), 4);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(host.ErrorState(), 4);
    EXPECT_EQ(host.Free(), 3);
    named = OpenEventW(SYNCHRONIZE, FALSE, L"Resolver_evResolveDone");
    EXPECT_EQ(named, nullptr);
}

TEST(PluginExportsTest, MalformedTextIsRejectedByExecute)
{
    PluginHost host(L"ZanviResolver.dll", true);
    ASSERT_TRUE(host.Loaded());
    host.Init();
    DebugOutputCapture capture;
    EXPECT_EQ(host.Execute("VCIA7._zeb_vci._tcp.local,58713,usb", host.ipAddress, host.port), 5);
    EXPECT_TRUE(Contains(capture.Messages(),
                         L"E:'VCIA7._zeb_vci._tcp.local,58713,usb' is not a valid service instance name."));
    EXPECT_EQ(host.ErrorState(), 5);
}

TEST(PluginExportsTest, InitWithoutDnssdAnswersErrorNamingThePathTried)
{
    PluginHost host(L"ZanviResolver.dll", false);
    ASSERT_TRUE(host.Loaded());
    DebugOutputCapture capture;
    EXPECT_EQ(host.Init(), 5);
    EXPECT_TRUE(Contains(capture.Messages(),
                         L"D:Load_DNSSD_Library(): dnssd.dll not loaded working directory is:" +
                             host.Dir().File(L"dnssd.dll")))
        << Narrow(capture.Messages().size() > 1 ? capture.Messages()[1] : L"");
    EXPECT_EQ(capture.Messages().back(), L"D:Zanviresolver_Init(): returning:5");
}

TEST(PluginExportsTest, RepeatedInitLeavesTheLibraryUsable)
{
    PluginHost host(L"ZanviResolver.dll", true);
    ASSERT_TRUE(host.Loaded());
    EXPECT_EQ(host.Init(), 0);
    EXPECT_EQ(host.Init(), 0);
    EXPECT_EQ(host.UpdateState(), 2);
    EXPECT_EQ(host.Free(), 3);
    EXPECT_EQ(host.Init(), 0);
    EXPECT_EQ(host.Free(), 3);
}

TEST(PluginExportsTest, LongLibraryPathNeverLoadsDnssdFromAnywhereElse)
{
    // A folder whose path alone fills a buffer of MAX_PATH characters.
    TempDir dir;
    std::wstring folder = dir.Path();
    while (folder.size() < MAX_PATH)
        ASSERT_TRUE(CreateDirectoryW((folder += L"\\" + std::wstring(60, L'x')).c_str(), nullptr));
    ASSERT_TRUE(CopyInto(BinDir() + L"\\ZanviResolver.dll", folder));
    // A library planted in the current folder and at the root of its drive.
    TempDir planted;
    ASSERT_TRUE(CopyInto(SimDir() + L"\\dnssd.dll", planted.Path()));
    const std::wstring root = planted.Path().substr(0, 3) + L"dnssd.dll";
    ASSERT_TRUE(CopyFileW((SimDir() + L"\\dnssd.dll").c_str(), root.c_str(), TRUE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(planted.Path().c_str());

    HMODULE module = LoadLibraryW((folder + L"\\ZanviResolver.dll").c_str());
    EXPECT_NE(module, nullptr);
    if (module) {
        auto init = reinterpret_cast<int32_t (*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "Zanviresolver_Init")));
        auto free = reinterpret_cast<int32_t (*)()>(
            reinterpret_cast<void*>(GetProcAddress(module, "Zanviresolver_Free")));
        DebugOutputCapture capture;
        EXPECT_EQ(init(), 5);
        EXPECT_TRUE(Contains(capture.Messages(),
                             L"D:Load_DNSSD_Library(): dnssd.dll not loaded working directory is:" +
                                 folder + L"\\dnssd.dll"));
        free();
        FreeLibrary(module);
    }
    SetCurrentDirectoryW(previous);
    DeleteFileW(root.c_str());
}

}  // namespace
