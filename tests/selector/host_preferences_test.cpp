// The Bay Steward host's preference keys, with the process's user and machine roots
// redirected into private keys.
#include "host_preferences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "selector_fixtures.h"

namespace {

const wchar_t kSettings[] = L"Software\\Dravix\\Lumadesk\\User Preferences\\Settings";
const wchar_t kUserKey[] = L"Software\\Dravix\\Lumadesk\\Users\\0";

std::wstring AsText(const std::vector<BYTE>& data)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
}

TEST(HostPreferencesTest, InitSetsThePathsAndCreatesTheUserKey)
{
    RedirectedHostKeys keys;
    CHostPreferences prefs;
    EXPECT_EQ(prefs.m_strMachineBase, L"");
    prefs.Init();
    EXPECT_EQ(prefs.m_strMachineBase, L"HKEY_LOCAL_MACHINE\\Software\\Dravix\\Lumadesk\\");
    EXPECT_EQ(prefs.m_strUsersPath, L"HKEY_LOCAL_MACHINE\\Software\\Dravix\\Lumadesk\\Users\\");
    EXPECT_EQ(prefs.m_nUserNumber, 0);
    EXPECT_EQ(prefs.m_strUserPreferences,
              L"HKEY_CURRENT_USER\\Software\\Dravix\\Lumadesk\\User Preferences\\");
    EXPECT_EQ(prefs.m_strSettingsKey, L"Settings");
    EXPECT_EQ(prefs.m_strServiceInstanceValue, L"VCIServiceInstance");
    EXPECT_TRUE(keys.MachineKeyExists(kUserKey));
}

TEST(HostPreferencesTest, InitGoesOnWhenTheMachineKeysAreNotWritable)
{
    RedirectedHostKeys keys(/*machineWritable=*/false);
    CHostPreferences prefs;
    prefs.Init();
    EXPECT_FALSE(keys.MachineKeyExists(kUserKey));
    EXPECT_EQ(prefs.m_strServiceInstanceValue, L"VCIServiceInstance");
}

TEST(HostPreferencesTest, SaveStringCreatesSettingsAndOverwritesOnlyItsValue)
{
    RedirectedHostKeys keys;
    CHostPreferences prefs;
    prefs.Init();
    ASSERT_FALSE(keys.UserKeyExists(kSettings));

    ASSERT_TRUE(prefs.SaveString(L"Settings", L"VCIServiceInstance", L"DEMO-001"));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(keys.UserValue(kSettings, L"VCIServiceInstance", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data.size(), 18u);
    EXPECT_EQ(AsText(data), std::wstring(L"DEMO-001", 9));

    ASSERT_TRUE(keys.WriteUserString(kSettings, L"Other", L"kept"));
    ASSERT_TRUE(prefs.SaveString(L"Settings", L"VCIServiceInstance", L"LAB-07"));
    ASSERT_TRUE(keys.UserValue(kSettings, L"VCIServiceInstance", type, data));
    EXPECT_EQ(AsText(data), std::wstring(L"LAB-07", 7));
    ASSERT_TRUE(keys.UserValue(kSettings, L"Other", type, data));
    EXPECT_EQ(AsText(data), std::wstring(L"kept", 5));
}

TEST(HostPreferencesTest, SaveStringFailsWhenTheKeyCannotBeCreated)
{
    RedirectedHostKeys keys;
    CHostPreferences prefs;
    prefs.Init();
    prefs.m_strUserPreferences = L"HKEY_NOWHERE\\";
    EXPECT_FALSE(prefs.SaveString(L"Settings", L"VCIServiceInstance", L"x"));
}

}  // namespace
