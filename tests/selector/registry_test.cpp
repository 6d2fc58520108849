// CRegistry against the real registry, under a private key of the current user.
#include "registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "selector_fixtures.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    bool Exists(const std::wstring& relative) const
    {
        HKEY h = nullptr;
        std::wstring path = m_key.SubKey() + (relative.empty() ? L"" : L"\\" + relative);
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        return true;
    }
    void Make(const std::wstring& relative) const
    {
        CRegistry r;
        DWORD disposition = 0;
        ASSERT_TRUE(r.Create(m_key.Path() + L"\\" + relative, &disposition)) << r.LastError();
    }

    TestRegistryKey m_key;
};

TEST_F(RegistryTest, CreateMakesMissingKeysAndRelativeOpenClimbsFromThem)
{
    Make(L"A\\C");
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path() + L"\\A\\B", &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(Exists(L"A\\B"));
    EXPECT_EQ(r.m_strRootName, L"HKEY_CURRENT_USER");
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\A\\B");
    EXPECT_EQ(r.m_hRootKey, HKEY_CURRENT_USER);
    EXPECT_EQ(r.LastError(), ERROR_SUCCESS);

    ASSERT_TRUE(r.Open(L"..\\C")) << r.LastError();
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\A\\C");

    ASSERT_TRUE(r.Create(m_key.Path() + L"\\A\\B", &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
}

TEST_F(RegistryTest, LeadingStepsClimbAndStopAtTheRoot)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path() + L"\\A\\B", &disposition));
    ASSERT_TRUE(r.Create(L"..\\..\\X", &disposition));
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\X");
    EXPECT_TRUE(Exists(L"X"));

    // SubKey() has three components, so six steps up from ...\A\B climb past the root's top:
    // the base is empty and the rest of the path is taken from the root itself.
    ASSERT_TRUE(r.Create(m_key.Path() + L"\\A\\B", &disposition));
    ASSERT_TRUE(r.Create(L"..\\..\\..\\..\\..\\..\\" + m_key.SubKey() + L"\\Y", &disposition));
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\Y");
    EXPECT_TRUE(Exists(L"Y"));

    // Only leading steps climb; ".." elsewhere is a key name.
    ASSERT_TRUE(r.Create(L"Z\\..", &disposition));
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\Y\\Z\\..");
    EXPECT_TRUE(Exists(L"Y\\Z\\.."));
}

TEST_F(RegistryTest, RelativePathKeepsItsBaseWhenTheOpenFails)
{
    CRegistry r;
    ASSERT_TRUE(r.Open(m_key.Path()));
    EXPECT_FALSE(r.Open(L"Missing"));
    EXPECT_EQ(r.LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(r.m_strPath, m_key.SubKey() + L"\\Missing");
}

TEST_F(RegistryTest, RelativePathsFailOnAFreshObject)
{
    // A root name in other case does not begin with "HKEY_" and is therefore relative.
    for (const wchar_t* path : {L"Software", L"..\\Software", L"hkey_current_user\\Software"}) {
        CRegistry r;
        DWORD disposition = 0;
        EXPECT_FALSE(r.Create(path, &disposition)) << path;
        EXPECT_EQ(r.LastError(), ERROR_INVALID_HANDLE) << path;
        CRegistry o;
        EXPECT_FALSE(o.Open(path)) << path;
        EXPECT_EQ(o.LastError(), ERROR_INVALID_HANDLE) << path;
        EXPECT_EQ(o.m_hKey, nullptr);
    }
}

TEST_F(RegistryTest, LowerCaseRootNameIsAKeyUnderTheOpenKey)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Open(m_key.Path()));
    ASSERT_TRUE(r.Create(L"hkey_current_user\\Sub", &disposition));
    EXPECT_TRUE(Exists(L"hkey_current_user\\Sub"));
    EXPECT_EQ(r.m_strRootName, L"HKEY_CURRENT_USER");
}

TEST_F(RegistryTest, UnknownRootAndOverlongPathsAreRefusedWithoutTouchingTheRegistry)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Open(m_key.Path()));
    const std::wstring base = r.m_strPath;

    EXPECT_FALSE(r.Create(L"HKEY_NOWHERE\\Software\\X", &disposition));
    EXPECT_EQ(r.LastError(), ERROR_BAD_PATHNAME);
    EXPECT_EQ(r.m_hRootKey, HKEY_CURRENT_USER);
    EXPECT_EQ(r.m_strRootName, L"HKEY_NOWHERE");

    EXPECT_FALSE(r.Open(std::wstring(1024, L'k')));
    EXPECT_EQ(r.LastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(r.m_strPath, base);
    EXPECT_FALSE(Exists(std::wstring(255, L'k')));
}

TEST_F(RegistryTest, RootNameAloneOpensTheRootItself)
{
    CRegistry r;
    ASSERT_TRUE(r.Open(L"HKEY_CURRENT_USER")) << r.LastError();
    EXPECT_EQ(r.m_strPath, L"");
    EXPECT_GT(r.m_dwSubKeys, 0u);
    ASSERT_TRUE(r.Open(L"Software"));
    EXPECT_EQ(r.m_strPath, L"Software");
}

TEST_F(RegistryTest, StringValuesStoreTheirTerminator)
{
    struct Case {
        std::wstring text;
        DWORD bytes;
    };
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path(), &disposition));
    for (const Case& c : {Case{L"", 2}, Case{L"DEMO-001", 18}}) {
        ASSERT_TRUE(r.WriteString(L"v", c.text));
        DWORD type = 0;
        BYTE data[64];
        DWORD cb = sizeof(data);
        ASSERT_TRUE(r.QueryValue(L"v", &type, data, &cb));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(cb, c.bytes) << "'" << std::string(c.text.begin(), c.text.end()) << "'";
        std::wstring back = L"x";
        ASSERT_TRUE(r.ReadString(L"v", back));
        EXPECT_EQ(back, c.text);
    }
}

TEST_F(RegistryTest, ReadStringHasRoomFor255Characters)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path(), &disposition));
    std::wstring text;
    ASSERT_TRUE(r.WriteString(L"fits", std::wstring(255, L'a')));
    EXPECT_TRUE(r.ReadString(L"fits", text));
    EXPECT_EQ(text, std::wstring(255, L'a'));

    ASSERT_TRUE(r.WriteString(L"long", std::wstring(300, L'b')));
    text = L"unchanged";
    EXPECT_FALSE(r.ReadString(L"long", text));
    EXPECT_EQ(r.LastError(), ERROR_MORE_DATA);
    EXPECT_EQ(text, L"unchanged");
}

TEST_F(RegistryTest, NumbersAndBinaryRoundTripWithoutTypeChecks)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path(), &disposition));
    ASSERT_TRUE(r.WriteDword(L"d", 0xDEADBEEF));
    ASSERT_TRUE(r.WriteFloat(L"f", 2.5f));

    DWORD d = 0;
    EXPECT_TRUE(r.ReadDword(L"d", d));
    EXPECT_EQ(d, 0xDEADBEEFu);
    float f = 0;
    EXPECT_TRUE(r.ReadFloat(L"f", f));
    EXPECT_EQ(f, 2.5f);

    DWORD type = 0;
    DWORD cb = sizeof(type);
    BYTE raw[4];
    ASSERT_TRUE(r.QueryValue(L"f", &type, raw, &cb));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    // The stored type is not looked at: the float's four bytes read as a number.
    EXPECT_TRUE(r.ReadDword(L"f", d));
    EXPECT_EQ(std::memcmp(&d, &f, 4), 0);

    BYTE binary[CRegistry::kMaxValueBytes];
    std::memset(binary, 0xCC, sizeof(binary));
    EXPECT_TRUE(r.ReadBinary(L"d", binary));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(binary), 0xDEADBEEFu);
    EXPECT_EQ(binary[4], 0xCC) << "exactly the bytes read are copied";

    ASSERT_TRUE(r.WriteString(L"s", L"abc"));
    EXPECT_FALSE(r.ReadDword(L"s", d));
    EXPECT_EQ(r.LastError(), ERROR_MORE_DATA);
    EXPECT_FALSE(r.ReadDword(L"missing", d));
    EXPECT_EQ(r.LastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EnumerationQueryAndDeletion)
{
    Make(L"A\\B");
    Make(L"C");
    CRegistry r;
    ASSERT_TRUE(r.Open(m_key.Path()));
    EXPECT_EQ(r.m_dwSubKeys, 2u);
    EXPECT_EQ(r.m_dwValues, 0u);

    std::vector<std::wstring> names;
    std::wstring name, cls;
    for (DWORD i = 0; r.EnumKey(i, name, cls); ++i) names.push_back(name);
    EXPECT_EQ(r.LastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"A", L"C"}));

    CRegistry w;
    DWORD disposition = 0;
    ASSERT_TRUE(w.Create(m_key.Path(), &disposition));
    ASSERT_TRUE(w.WriteDword(L"count", 7));
    DWORD type = 0, value = 0, cb = sizeof(value);
    ASSERT_TRUE(w.EnumValue(0, name, &type, reinterpret_cast<BYTE*>(&value), &cb));
    EXPECT_EQ(name, L"count");
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 7u);
    ASSERT_TRUE(w.QueryInfo());
    EXPECT_EQ(w.m_dwValues, 1u);
    EXPECT_EQ(w.m_dwMaxValueNameLen, 5u);

    EXPECT_TRUE(w.DeleteValue(L"count"));
    EXPECT_FALSE(w.DeleteValue(L"count"));
    EXPECT_EQ(w.LastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(w.DeleteKey(L"Missing\\B"));
    EXPECT_EQ(w.LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(w.DeleteKey(L"A\\B"));
    EXPECT_FALSE(Exists(L"A\\B"));
    EXPECT_TRUE(Exists(L"A"));
    EXPECT_TRUE(w.DeleteKey(L"C"));
    EXPECT_FALSE(Exists(L"C"));
}

TEST_F(RegistryTest, NotifyChangeNeedsAnEventOrAWait)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path(), &disposition));
    EXPECT_FALSE(r.NotifyChange(nullptr, REG_NOTIFY_CHANGE_LAST_SET, false, false));
    EXPECT_EQ(r.LastError(), ERROR_INVALID_PARAMETER);

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(r.NotifyChange(event, REG_NOTIFY_CHANGE_LAST_SET, false, false));
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CRegistry writer;
    ASSERT_TRUE(writer.Create(m_key.Path(), &disposition));
    ASSERT_TRUE(writer.WriteDword(L"changed", 1));
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(RegistryTest, KeySecurityRoundTrips)
{
    CRegistry r;
    DWORD disposition = 0;
    ASSERT_TRUE(r.Create(m_key.Path(), &disposition));
    SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION;
    DWORD cb = 0;
    EXPECT_FALSE(r.GetKeySecurity(info, nullptr, &cb));
    EXPECT_EQ(r.LastError(), ERROR_INSUFFICIENT_BUFFER);
    ASSERT_GT(cb, 0u);
    std::vector<BYTE> descriptor(cb);
    ASSERT_TRUE(r.GetKeySecurity(info, descriptor.data(), &cb)) << r.LastError();
    EXPECT_TRUE(r.SetKeySecurity(info, descriptor.data())) << r.LastError();
}

TEST_F(RegistryTest, EveryKeyOperationFailsWithoutAnOpenKey)
{
    CRegistry r;
    std::wstring text;
    DWORD d = 0;
    float f = 0;
    BYTE buffer[CRegistry::kMaxValueBytes];
    SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION;
    const std::vector<std::function<bool()>> operations = {
        [&] { return r.DeleteKey(L"x"); },
        [&] { return r.DeleteValue(L"x"); },
        [&] { return r.EnumKey(0, text, text); },
        [&] { return r.EnumValue(0, text, nullptr, nullptr, nullptr); },
        [&] { return r.GetKeySecurity(info, nullptr, &d); },
        [&] { return r.ReadBinary(L"x", buffer); },
        [&] { return r.ReadString(L"x", text); },
        [&] { return r.ReadDword(L"x", d); },
        [&] { return r.ReadFloat(L"x", f); },
        [&] { return r.NotifyChange(nullptr, 0, false, true); },
        [&] { return r.QueryInfo(); },
        [&] { return r.SetKeySecurity(info, buffer); },
        [&] { return r.SetValue(L"x", REG_DWORD, buffer, 4); },
        [&] { return r.WriteString(L"x", L"y"); },
        [&] { return r.WriteDword(L"x", 1); },
        [&] { return r.WriteFloat(L"x", 1.0f); },
        [&] { return r.QueryValue(L"x", nullptr, nullptr, nullptr); },
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        r.m_lLastError = 0;
        EXPECT_FALSE(operations[i]()) << "operation " << i;
        EXPECT_EQ(r.LastError(), ERROR_INVALID_HANDLE) << "operation " << i;
    }
}

}  // namespace
