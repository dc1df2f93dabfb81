// Applying the registry section to the real (Wine) registry of the user running the tests.
#include "items/DownloadRegistry.h"

#include "ItemsTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kTestKey[] = L"Software\\Norvane Tests\\RegistryInstall";
const std::wstring kTestPath = std::wstring(L"HKEY_CURRENT_USER\\") + kTestKey;

class RegistryInstallTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    // Values of <Key Name="HKEY_CURRENT_USER"><Key Name="Software">... for the test key.
    BOOL Apply(const std::wstring& values)
    {
        Common::ComPtr<IXMLDOMDocument> document;
        const Common::ComPtr<IXMLDOMNode> element = ItemsTest::ParseElement(
            L"<Norvane><Registry><Key Name=\"HKEY_CURRENT_USER\"><Key Name=\"Software\"><Key Name=\"Norvane Tests\">"
            L"<Key Name=\"RegistryInstall\">" + values + L"</Key></Key></Key></Key></Registry></Norvane>",
            L"Norvane/Registry", document);
        EXPECT_TRUE(element);
        DownloadRegistry registry;
        if (!element || !registry.ParseSection(element.Get(), std::wstring()))
            return FALSE;
        return registry.ProcessItems(std::wstring());
    }

    static bool KeyExists(const std::wstring& subKey)
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }

    static std::wstring Text(const wchar_t* name)
    {
        wchar_t value[256] = {};
        DWORD size = sizeof value;
        if (::RegGetValueW(HKEY_CURRENT_USER, kTestKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
            return L"<missing>";
        return value;
    }

    static bool Number(const wchar_t* name, DWORD& number)
    {
        DWORD size = sizeof number;
        return ::RegGetValueW(HKEY_CURRENT_USER, kTestKey, name, RRF_RT_REG_DWORD, nullptr, &number, &size) ==
               ERROR_SUCCESS;
    }

    ItemsTest::ComApartment apartment_;
    ItemsTest::LogWatch log_;
};

TEST_F(RegistryInstallTest, ValuesAreAddedAsStringsAndNumbers)
{
    ASSERT_TRUE(Apply(L"<Value Name=\"(Default)\" Action=\"Add REG_SZ word\"/>"
                      L"<Value Name=\"Path\" Action=\"Add REG_SZ C:\\Program Files\\Sample\"/>"
                      L"<Value Name=\"Answer\" Action=\"Add REG_DWORD 42\"/>"
                      L"<Value Name=\"AllBits\" Action=\"Add REG_DWORD -1\"/>"
                      L"<Value Name=\"NotANumber\" Action=\"Add REG_DWORD many\"/>"));
    EXPECT_EQ(Text(nullptr), L"word");
    EXPECT_EQ(Text(L"Path"), L"C:\\Program Files\\Sample");
    DWORD number = 7;
    ASSERT_TRUE(Number(L"Answer", number));
    EXPECT_EQ(number, 42u);
    ASSERT_TRUE(Number(L"AllBits", number));
    EXPECT_EQ(number, 0xFFFFFFFFu);
    ASSERT_TRUE(Number(L"NotANumber", number));
    EXPECT_EQ(number, 0u);
    EXPECT_NE(log_.Added().find(L"\tUpdated registry:\t" + kTestPath + L"\r\n"), std::wstring::npos);
}

TEST_F(RegistryInstallTest, DeleteAndRemoveTakeValuesAndKeysAway)
{
    ASSERT_TRUE(Apply(L"<Key Name=\"Child\"><Key Name=\"Grandchild\"><Value Name=\"x\" Action=\"Create\"/></Key></Key>"
                      L"<Value Name=\"Gone\" Action=\"Add REG_SZ soon\"/><Value Name=\"Stays\" Action=\"Add REG_SZ here\"/>"));
    ASSERT_TRUE(KeyExists(std::wstring(kTestKey) + L"\\Child\\Grandchild"));
    ASSERT_TRUE(Apply(L"<Key Name=\"Child\"><Value Name=\"\" Action=\"Remove\"/></Key>"
                      L"<Value Name=\"Gone\" Action=\"Delete\"/><Value Name=\"NeverThere\" Action=\"Delete\"/>"));
    EXPECT_FALSE(KeyExists(std::wstring(kTestKey) + L"\\Child"));
    EXPECT_EQ(Text(L"Gone"), L"<missing>");
    EXPECT_EQ(Text(L"Stays"), L"here");
}

TEST_F(RegistryInstallTest, UnknownActionsDoNothingAndCountAsDone)
{
    ASSERT_TRUE(Apply(L"<Value Name=\"v\" Action=\"create\"/><Value Name=\"w\" Action=\"Rename\"/>"));
    EXPECT_FALSE(KeyExists(kTestKey));
    const std::wstring added = log_.Added();
    const std::wstring line = L"\tUpdated registry:\t" + kTestPath + L"\r\n";
    const std::wstring::size_type first = added.find(line);
    ASSERT_NE(first, std::wstring::npos) << added;
    EXPECT_NE(added.find(line, first + 1), std::wstring::npos) << "one line per entry";
}

// A failing entry is logged with its action and value and does not stop the next one.
TEST_F(RegistryInstallTest, AFailingEntryIsLoggedAndTheRestStillApplied)
{
    const std::wstring tooLong(300, L'k');
    ASSERT_TRUE(Apply(L"<Key Name=\"" + tooLong + L"\"><Value Name=\"v\" Action=\"Add REG_SZ x\"/></Key>"
                      L"<Value Name=\"After\" Action=\"Add REG_DWORD 5\"/>"));
    EXPECT_NE(log_.Added().find(L"\tUnable to update user registry:\tAdd REG_SZ x; v, " + kTestPath + L"\\" + tooLong +
                                L"\r\n"),
              std::wstring::npos)
        << log_.Added();
    DWORD number = 0;
    ASSERT_TRUE(Number(L"After", number));
    EXPECT_EQ(number, 5u);
}

TEST_F(RegistryInstallTest, KeysOutsideTheCurrentUserGoToTheSystemFileManager)
{
    Common::ComPtr<IXMLDOMDocument> document;
    const std::wstring tooLong(300, L'k');
    const Common::ComPtr<IXMLDOMNode> element = ItemsTest::ParseElement(
        L"<Norvane><Registry><Key Name=\"HKEY_LOCAL_MACHINE\"><Key Name=\"" + tooLong +
            L"\"><Value Name=\"v\" Action=\"Add REG_DWORD 1\"/></Key></Key></Registry></Norvane>",
        L"Norvane/Registry", document);
    ASSERT_TRUE(element);
    DownloadRegistry registry;
    ASSERT_TRUE(registry.ParseSection(element.Get(), std::wstring()));
    EXPECT_TRUE(registry.ProcessItems(std::wstring()));
    EXPECT_NE(log_.Added().find(L"\tUnable to update system registry:\tAdd REG_DWORD 1; v, HKEY_LOCAL_MACHINE\\" +
                                tooLong + L"\r\n"),
              std::wstring::npos)
        << log_.Added();
}

} // namespace
