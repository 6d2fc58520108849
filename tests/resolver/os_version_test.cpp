// The readable OS description and the ad-hoc OS check, fed through the OS seam.
#include <gtest/gtest.h>

#include <string>

#include "debug_capture.h"
#include "os_version.h"

namespace {

DWORD s_edition = 0;
int s_serverR2 = 0;
OSVERSIONINFOEXW s_version{};
BOOL s_versionAnswer = TRUE;
WORD s_architecture = PROCESSOR_ARCHITECTURE_AMD64;

BOOL FakeProductInfo(DWORD, DWORD, DWORD, DWORD, DWORD* edition)
{
    *edition = s_edition;
    return TRUE;
}
int FakeMetrics(int index) { return index == 89 ? s_serverR2 : 0; }
BOOL FakeVersion(OSVERSIONINFOEXW* info)
{
    *info = s_version;
    return s_versionAnswer;
}
void FakeSystemInfo(SYSTEM_INFO* info) { info->wProcessorArchitecture = s_architecture; }

class OsVersionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OsPlatformCalls() = {FakeVersion, FakeSystemInfo, FakeProductInfo, FakeMetrics};
        s_versionAnswer = TRUE;
    }
    void TearDown() override { OsPlatformCalls() = RealOsPlatform(); }
};

struct OsCase {
    DWORD major, minor, build;
    BYTE productType;
    WORD suite;
    const wchar_t* servicePack;
    WORD architecture;
    DWORD edition;
    int serverR2;
    const wchar_t* expected;
};

OSVERSIONINFOEXW MakeVersion(DWORD major, DWORD minor, DWORD build, BYTE productType, WORD suite,
                             const wchar_t* servicePack)
{
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    v.wProductType = productType;
    v.wSuiteMask = suite;
    wcsncpy(v.szCSDVersion, servicePack, 127);
    return v;
}

const BYTE kWorkstation = VER_NT_WORKSTATION;
const BYTE kServer = VER_NT_SERVER;
const WORD kX86 = PROCESSOR_ARCHITECTURE_INTEL;
const WORD kX64 = PROCESSOR_ARCHITECTURE_AMD64;
const WORD kIa64 = PROCESSOR_ARCHITECTURE_IA64;

TEST_F(OsVersionTest, DescribesEachVersionEditionAndProcessor)
{
    const OsCase cases[] = {
        {6, 1, 7601, kWorkstation, 0, L"Service Pack 1", kX64, 48, 0,
         L"Microsoft Windows 7 Professional Service Pack 1 (build 7601), 64-bit"},
        {6, 2, 9200, kWorkstation, 0, L"", kX86, 48, 0, L"Microsoft Professional (build 9200), 32-bit"},
        {5, 1, 2600, kWorkstation, 0x0200, L"Service Pack 3", kX86, 0, 0,
         L"Microsoft Windows XP Home Edition Service Pack 3 (build 2600)"},
        {5, 1, 2600, kWorkstation, 0, L"", kX86, 0, 0, L"Microsoft Windows XP Professional (build 2600)"},
        {6, 0, 6002, kWorkstation, 0, L"Service Pack 2", kX86, 3, 0,
         L"Microsoft Windows Vista Home Premium Edition Service Pack 2 (build 6002), 32-bit"},
        {6, 0, 6001, kServer, 0, L"", kX64, 12, 0,
         L"Microsoft Windows Server 2008 Datacenter Edition (core installation) (build 6001), 64-bit"},
        {6, 1, 7600, kServer, 0, L"", kIa64, 15, 0,
         L"Microsoft Windows Server 2008 R2 Enterprise Edition for Itanium-based Systems (build 7600)"},
        {6, 1, 7600, kWorkstation, 0, L"", kX64, 99, 0, L"Microsoft Windows 7  (build 7600), 64-bit"},
        {10, 0, 19045, kWorkstation, 0, L"", kX64, 48, 0, L"Microsoft  (build 19045), 64-bit"},
        {5, 2, 3790, kServer, 0, L"", kX86, 0, 1,
         L"Microsoft Windows Server 2003 R2, Standard Edition (build 3790)"},
        {5, 2, 3790, kServer, 0x2000, L"", kX86, 0, 0,
         L"Microsoft Windows Storage Server 2003Standard Edition (build 3790)"},
        {5, 2, 3790, kWorkstation, 0, L"", kX64, 0, 0,
         L"Microsoft Windows XP Professional x64 Edition (build 3790)"},
        {5, 2, 3790, kServer, 0x0080, L"", kIa64, 0, 0,
         L"Microsoft Windows Server 2003, Datacenter Edition for Itanium-based Systems (build 3790)"},
        {5, 2, 3790, kServer, 0, L"", kIa64, 0, 0, L"Microsoft Windows Server 2003,  (build 3790)"},
        {5, 2, 3790, kServer, 0x0002, L"", kX64, 0, 0,
         L"Microsoft Windows Server 2003, Enterprise x64 Edition (build 3790)"},
        {5, 2, 3790, kServer, 0x4000 | 0x0080, L"", kX86, 0, 0,
         L"Microsoft Windows Server 2003, Compute Cluster Edition (build 3790)"},
        {5, 2, 3790, kServer, 0x0400, L"", kX86, 0, 0, L"Microsoft Windows Server 2003, Web Edition (build 3790)"},
        {5, 0, 2195, kWorkstation, 0, L"Service Pack 4", kX86, 0, 0,
         L"Microsoft Windows 2000 Professional Service Pack 4 (build 2195)"},
        {5, 0, 2195, kServer, 0x0002, L"", kX86, 0, 0, L"Microsoft Windows 2000 Advanced Server (build 2195)"},
        {5, 0, 2195, kServer, 0, L"", kX86, 0, 0, L"Microsoft Windows 2000 Server (build 2195)"},
    };
    for (const OsCase& c : cases) {
        s_edition = c.edition;
        s_serverR2 = c.serverR2;
        const OSVERSIONINFOEXW v = MakeVersion(c.major, c.minor, c.build, c.productType, c.suite, c.servicePack);
        SYSTEM_INFO si{};
        si.wProcessorArchitecture = c.architecture;
        wchar_t text[kOsDisplayChars];
        ASSERT_TRUE(GetOSDisplayString(v, text, si)) << c.expected;
        EXPECT_STREQ(text, c.expected);
    }
}

TEST_F(OsVersionTest, RefusesOldOrNonNtVersionsAndANullBuffer)
{
    SYSTEM_INFO si{};
    wchar_t text[kOsDisplayChars] = L"old";
    OSVERSIONINFOEXW nt4 = MakeVersion(4, 0, 1381, kWorkstation, 0, L"");
    EXPECT_FALSE(GetOSDisplayString(nt4, text, si));
    EXPECT_STREQ(text, L"");
    OSVERSIONINFOEXW win9x = MakeVersion(5, 1, 2600, kWorkstation, 0, L"");
    win9x.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_FALSE(GetOSDisplayString(win9x, text, si));
    EXPECT_FALSE(GetOSDisplayString(MakeVersion(6, 1, 1, kWorkstation, 0, L""), nullptr, si));
}

TEST_F(OsVersionTest, LongServicePackTextStaysWithinTheBuffer)
{
    std::wstring longPack(127, L'x');
    s_edition = 1;
    const OSVERSIONINFOEXW v = MakeVersion(6, 1, 7601, kServer, 0, longPack.c_str());
    SYSTEM_INFO si{};
    si.wProcessorArchitecture = kX64;
    wchar_t text[kOsDisplayChars + 1];
    text[kOsDisplayChars] = L'#';
    ASSERT_TRUE(GetOSDisplayString(v, text, si));
    EXPECT_EQ(text[kOsDisplayChars], L'#');
    EXPECT_LT(wcslen(text), kOsDisplayChars);
}

TEST_F(OsVersionTest, AdHocNeedsAWindows7ClassWorkstationAndLogsTheDescription)
{
    const struct {
        DWORD major, minor;
        BYTE productType;
        bool capable;
    } cases[] = {
        {6, 1, kWorkstation, true}, {6, 3, kWorkstation, true}, {6, 0, kWorkstation, false},
        {6, 1, kServer, false},     {5, 1, kWorkstation, false}, {10, 0, kWorkstation, false},
    };
    s_edition = 48;
    s_architecture = kX64;
    for (const auto& c : cases) {
        s_version = MakeVersion(c.major, c.minor, 7601, c.productType, 0, L"");
        DebugOutputCapture capture;
        EXPECT_EQ(IsAdHocCapableOS(), c.capable) << c.major << "." << c.minor;
        ASSERT_EQ(capture.Messages().size(), 1u);
        EXPECT_EQ(capture.Messages()[0].rfind(L"D:OS Version: Microsoft ", 0), 0u);
    }
    s_version = MakeVersion(6, 1, 7601, kWorkstation, 0, L"Service Pack 1");
    DebugOutputCapture capture;
    EXPECT_TRUE(IsAdHocCapableOS());
    EXPECT_EQ(capture.Messages(),
              std::vector<std::wstring>{
                  L"D:OS Version: Microsoft Windows 7 Professional Service Pack 1 (build 7601), 64-bit"});
}

TEST_F(OsVersionTest, AdHocCheckWithoutAVersionRecordOrOnNt4WritesNoLine)
{
    s_version = MakeVersion(4, 0, 1381, kWorkstation, 0, L"");
    DebugOutputCapture capture;
    EXPECT_FALSE(IsAdHocCapableOS());
    s_version = MakeVersion(6, 1, 7601, kWorkstation, 0, L"");
    s_versionAnswer = FALSE;
    EXPECT_FALSE(IsAdHocCapableOS());
    EXPECT_TRUE(capture.Messages().empty());
}

}  // namespace
