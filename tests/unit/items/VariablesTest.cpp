#include "items/Variables.h"

#include "common/FixedText.h"
#include "core/ConfigRecord.h"
#include "core/EnvironmentFacts.h"
#include "core/Log.h"
#include "ItemsTestSupport.h"
#include "support/TestFiles.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using TestSupport::ScratchFolder;

const wchar_t kTestKey[] = L"Software\\NorvaneTest\\Variables";
const wchar_t kTestKeyPath[] = L"HKEY_CURRENT_USER\\Software\\NorvaneTest\\Variables\\";

using ItemsTest::LogWatch;

std::size_t Count(const std::wstring& text, const std::wstring& part)
{
    std::size_t count = 0;
    for (std::wstring::size_type at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::wstring ReplacementEntry(const std::wstring& source, const std::wstring& value)
{
    return L"\tVariable replacement:\t" + source + L", " + value + L"\r\n";
}

std::wstring Token(const std::wstring& source, const std::wstring& type)
{
    return L"%VARIABLE " + source + L"|" + type + L"%";
}

std::wstring RegistryToken(const std::wstring& valueName, const std::wstring& type)
{
    return Token(kTestKeyPath + valueName, type);
}

std::wstring FromAnsi(const std::string& bytes)
{
    std::vector<wchar_t> wide(bytes.size() + 1);
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                                            static_cast<int>(wide.size()));
    return std::wstring(wide.data(), static_cast<std::size_t>(units));
}

void SetStringValue(HKEY key, const wchar_t* name, const std::wstring& text)
{
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDwordValue(HKEY key, const wchar_t* name, DWORD value)
{
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The record fields and version texts a test changes, put back afterwards.
class SavedDescriptionTexts {
public:
    SavedDescriptionTexts() : record_(g_configRecord) {}
    ~SavedDescriptionTexts()
    {
        g_configRecord = record_;
        SetDescriptionVersions(std::wstring(), std::wstring());
    }
    SavedDescriptionTexts(const SavedDescriptionTexts&) = delete;
    SavedDescriptionTexts& operator=(const SavedDescriptionTexts&) = delete;

private:
    ConfigRecord record_;
};

using TestSupport::CurrentDirectory;

class ExpandVariablesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comInitialised_ = true;
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &key, nullptr));
        SetStringValue(key, L"Text", L"Registry text");
        SetStringValue(key, L"Self", RegistryToken(L"Self", L"REG_SZ"));
        SetDwordValue(key, L"Count", 42);
        SetDwordValue(key, L"Negative", 0xFFFFFFFEu);
        ::RegCloseKey(key);
    }

    void TearDown() override
    {
        // The parent stays: other test programs keep keys of their own under it.
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        if (comInitialised_)
            ::CoUninitialize();
    }

    std::wstring WriteFile(const std::wstring& name, const std::string& bytes)
    {
        const std::wstring path = folder_ / name;
        EXPECT_TRUE(TestSupport::WriteBytes(path, bytes));
        return path;
    }

    ScratchFolder folder_;
    SavedDescriptionTexts saved_;

private:
    bool comInitialised_ = false;
};

struct Case {
    const char* name;
    std::wstring text;
    std::wstring expected;
};

void ExpectExpansions(const std::vector<Case>& cases)
{
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.expected, ExpandVariables(entry.text));
    }
}

// Runs before any test sets them.
TEST(DescriptionVersions, AreEmptyUntilSet)
{
    EXPECT_EQ(L"[][]", ExpandVariables(L"[%CurrentVersion%][%UpdateVersion%]"));
}

TEST_F(ExpandVariablesTest, BuiltInVariablesTakeTheirValuesEverywhereTheyOccur)
{
    Common::StoreFieldText(g_configRecord.applicationName, L"Sample App");
    Common::StoreFieldText(g_configRecord.companyName, L"Sample Company");
    Common::StoreFieldText(g_configRecord.companyEmail, L"support@example.com");
    SetDescriptionVersions(L"1.0.0.1", L"2.0.0.0");
    ExpectExpansions({
        {"login", L"%Login%/%Login%", g_environmentFacts.UserName() + L"/" + g_environmentFacts.UserName()},
        {"platform", L"on %Platform%", L"on " + g_environmentFacts.OsName()},
        {"address", L"%IpAddress%", g_environmentFacts.IpAddress()},
        {"host", L"%HostName%.", g_environmentFacts.HostName() + L"."},
        {"application", L"%ApplicationName% %ApplicationName%", L"Sample App Sample App"},
        {"company", L"(c) %CompanyName%", L"(c) Sample Company"},
        {"email", L"<%CompanyEmail%>", L"<support@example.com>"},
        {"versions", L"%CurrentVersion% -> %UpdateVersion%", L"1.0.0.1 -> 2.0.0.0"},
        {"letter case matters", L"%login% %APPLICATIONNAME%", L"%login% %APPLICATIONNAME%"},
        {"no variables", L"plain 100% text", L"plain 100% text"},
        {"empty", L"", L""},
    });
}

TEST_F(ExpandVariablesTest, BuiltInsAreReplacedInTableOrder)
{
    // A value may bring in a name that comes later in the table, but not one that came earlier.
    Common::StoreFieldText(g_configRecord.applicationName, L"%CompanyName% Viewer");
    Common::StoreFieldText(g_configRecord.companyName, L"Acme %ApplicationName%");
    EXPECT_EQ(L"Acme %ApplicationName% Viewer", ExpandVariables(L"%ApplicationName%"));
    EXPECT_EQ(L"Acme %ApplicationName%", ExpandVariables(L"%CompanyName%"));
}

TEST_F(ExpandVariablesTest, BuiltInsAreReplacedBeforeTokensAreRead)
{
    Common::StoreFieldText(g_configRecord.applicationName, L"Variables");
    EXPECT_EQ(L"Registry text",
              ExpandVariables(L"%VARIABLE HKEY_CURRENT_USER\\Software\\NorvaneTest\\%ApplicationName%\\Text|REG_SZ%"));
}

TEST_F(ExpandVariablesTest, RegistryValuesOfBothTypes)
{
    ExpectExpansions({
        {"string", L"[" + RegistryToken(L"Text", L"REG_SZ") + L"]", L"[Registry text]"},
        {"dword", L"[" + RegistryToken(L"Count", L"REG_DWORD") + L"]", L"[42]"},
        {"dword is signed", RegistryToken(L"Negative", L"REG_DWORD"), L"-2"},
        // The type selects the registry, but the value is read only for the exact spelling.
        {"string type in lower case", L"[" + RegistryToken(L"Text", L"reg_sz") + L"]", L"[]"},
        {"dword type in mixed case", L"[" + RegistryToken(L"Count", L"Reg_Dword") + L"]", L"[]"},
        {"string read as dword", L"[" + RegistryToken(L"Text", L"REG_DWORD") + L"]", L"[]"},
        {"dword read as string", L"[" + RegistryToken(L"Count", L"REG_SZ") + L"]", L"[]"},
        {"missing value", L"[" + RegistryToken(L"Missing", L"REG_SZ") + L"]", L"[]"},
        {"missing key", L"[" + Token(L"HKEY_CURRENT_USER\\Software\\NorvaneTest\\None\\Text", L"REG_SZ") + L"]",
         L"[]"},
        {"no backslash", L"[" + Token(L"Text", L"REG_SZ") + L"]", L"[]"},
    });
}

TEST_F(ExpandVariablesTest, RegistryReplacementIsLogged)
{
    LogWatch watch;
    EXPECT_EQ(L"42", ExpandVariables(RegistryToken(L"Count", L"REG_DWORD")));
    EXPECT_EQ(ReplacementEntry(std::wstring(kTestKeyPath) + L"Count", L"42"), watch.Added());
}

TEST_F(ExpandVariablesTest, TokenShapes)
{
    const std::wstring text = RegistryToken(L"Text", L"REG_SZ");
    ExpectExpansions({
        {"without bar", L"a%VARIABLE no bar here%b", L"ab"},
        {"without closing percent", L"a " + text.substr(0, text.size() - 1), L"a " + text.substr(0, text.size() - 1)},
        {"closed one before an unclosed one", text + L" %VARIABLE x|REG_SZ", L"Registry text %VARIABLE x|REG_SZ"},
        {"start text needs its blank", L"%VARIABLEx|REG_SZ%", L"%VARIABLEx|REG_SZ%"},
        {"start text is case-sensitive", L"%variable " + std::wstring(kTestKeyPath) + L"Text|REG_SZ%",
         L"%variable " + std::wstring(kTestKeyPath) + L"Text|REG_SZ%"},
        {"empty body", L"<%VARIABLE %>", L"<>"},
        {"type is all after the first bar", L"[" + RegistryToken(L"Text", L"REG_SZ|x") + L"]", L"[]"},
    });
}

TEST_F(ExpandVariablesTest, TokenWithoutBarWritesNoLogEntry)
{
    LogWatch watch;
    EXPECT_EQ(L"", ExpandVariables(L"%VARIABLE nothing to read%"));
    EXPECT_EQ(L"", watch.Added());
}

TEST_F(ExpandVariablesTest, UnknownTypeIsLoggedWithSourceAndType)
{
    LogWatch watch;
    EXPECT_EQ(L"[]", ExpandVariables(L"[%VARIABLE some source|REG_BINARY%]"));
    EXPECT_EQ(L"\tUnknown variable type:\tsome source, REG_BINARY\r\n" + ReplacementEntry(L"some source", L""),
              watch.Added());
}

TEST_F(ExpandVariablesTest, SameTokenTwiceIsReadOnceAndReplacedTwice)
{
    const std::wstring token = RegistryToken(L"Text", L"REG_SZ");
    LogWatch watch;
    EXPECT_EQ(L"Registry text and Registry text", ExpandVariables(token + L" and " + token));
    EXPECT_EQ(1u, Count(watch.Added(), L"Variable replacement"));
}

TEST_F(ExpandVariablesTest, OnlyTheFirstTwentySixTokensAreExpanded)
{
    std::wstring text;
    std::wstring rest;
    for (int i = 1; i <= 30; ++i) {
        const std::wstring token = RegistryToken(L"Missing" + std::to_wstring(i), L"REG_SZ");
        text += token + L",";
        rest += (i <= 26 ? std::wstring() : token) + L",";
    }
    LogWatch watch;
    EXPECT_EQ(rest, ExpandVariables(text));
    EXPECT_EQ(26u, Count(watch.Added(), L"Variable replacement"));
}

TEST_F(ExpandVariablesTest, TokensWithoutBarCountTowardsTheLimit)
{
    std::wstring text;
    for (int i = 1; i <= 30; ++i)
        text += L"%VARIABLE " + std::to_wstring(i) + L"%";
    EXPECT_EQ(L"%VARIABLE 27%%VARIABLE 28%%VARIABLE 29%%VARIABLE 30%", ExpandVariables(text));
}

TEST_F(ExpandVariablesTest, ValueThatNamesItsOwnTokenStopsAfterTheLimit)
{
    const std::wstring token = RegistryToken(L"Self", L"REG_SZ");
    LogWatch watch;
    EXPECT_EQ(L"<" + token + L">", ExpandVariables(L"<" + token + L">"));
    EXPECT_EQ(26u, Count(watch.Added(), L"Variable replacement"));
}

TEST_F(ExpandVariablesTest, PlainFiles)
{
    const std::wstring text = WriteFile(L"text.txt", "file text\r\nsecond line");
    const std::wstring empty = WriteFile(L"empty.txt", "");
    const std::wstring large = WriteFile(L"large.txt", std::string(2000, 'x'));
    const std::wstring zero = WriteFile(L"zero.txt", std::string("before\0after", 12));
    const std::string ansiBytes = "caf\xE9 \xA3";
    const std::wstring ansi = WriteFile(L"ansi.txt", ansiBytes);
    ExpectExpansions({
        {"text", L"[" + Token(text, L"FILE") + L"]", L"[file text\r\nsecond line]"},
        {"type in lower case", L"[" + Token(text, L"file") + L"]", L"[file text\r\nsecond line]"},
        {"empty file", L"[" + Token(empty, L"FILE") + L"]", L"[]"},
        {"first 1023 bytes", Token(large, L"FILE"), std::wstring(1023, L'x')},
        {"text ends at a zero byte", Token(zero, L"FILE"), L"before"},
        {"ANSI code page", Token(ansi, L"FILE"), FromAnsi(ansiBytes)},
        {"missing file", L"[" + Token(folder_ / L"missing.txt", L"FILE") + L"]", L"[]"},
        {"folder", L"[" + Token(folder_.Path(), L"FILE") + L"]", L"[]"},
    });
}

TEST_F(ExpandVariablesTest, MissingFileIsLogged)
{
    const std::wstring path = folder_ / L"missing.txt";
    LogWatch watch;
    ExpandVariables(Token(path, L"FILE"));
    EXPECT_EQ(L"\t\r\nErrors opening:\t" + path + L"\r\n" + ReplacementEntry(path, L""), watch.Added());
}

TEST_F(ExpandVariablesTest, SourceBeginningWithAtSignIsAPlainFile)
{
    WriteFile(L"@named.txt", "at sign file");
    WriteFile(L"@named.txt@x", "two at signs");
    CurrentDirectory current(folder_.Path());
    EXPECT_EQ(L"at sign file", ExpandVariables(Token(L"@named.txt", L"FILE")));

    // A later at sign splits at the first one, which leaves no file name.
    LogWatch watch;
    EXPECT_EQ(L"", ExpandVariables(Token(L"@named.txt@x", L"FILE")));
    EXPECT_EQ(L"\t\r\nXML file read errors:\t, named.txt@x\r\n" + ReplacementEntry(L"@named.txt@x", L""),
              watch.Added());
}

TEST_F(ExpandVariablesTest, FileSourceMayBeginWithADirectoryTag)
{
    const std::wstring name = L"variables-tag-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    const std::wstring path = TestSupport::ProgramFolder() + name;
    ASSERT_TRUE(TestSupport::WriteBytes(path, "beside the program"));
    LogWatch watch;
    const std::wstring value = ExpandVariables(Token(L"<ApplicationDir>\\" + name, L"FILE"));
    const std::wstring withoutTag = ExpandVariables(Token(L"<ApplicationDir>" + name, L"FILE"));
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(L"beside the program", value);
    EXPECT_EQ(L"", withoutTag); // the tag's trailing backslash is cut before the rest is appended
    EXPECT_NE(std::wstring::npos, watch.Added().find(ReplacementEntry(path, L"beside the program")));
}

TEST_F(ExpandVariablesTest, XmlFilesThroughXPath)
{
    const std::wstring xml = WriteFile(
        L"data.xml",
        "<?xml version=\"1.0\"?>\r\n"
        "<Root><Version number=\"7\">1.2.3</Version>"
        "<Items><Item>first</Item><Item>second <b>bold</b></Item></Items></Root>");
    ExpectExpansions({
        {"element", L"v" + Token(xml + L"@/Root/Version", L"FILE"), L"v1.2.3"},
        {"type in lower case", Token(xml + L"@/Root/Version", L"File"), L"1.2.3"},
        {"attribute", Token(xml + L"@/Root/Version/@number", L"FILE"), L"7"},
        {"first of several", Token(xml + L"@//Item", L"FILE"), L"first"},
        {"positions count from one", Token(xml + L"@/Root/Items/Item[2]", L"FILE"), L"second bold"},
        {"function", Token(xml + L"@/Root/Items/Item[last()]/b", L"FILE"), L"bold"},
        {"no match", L"[" + Token(xml + L"@/Root/Missing", L"FILE") + L"]", L"[]"},
    });
}

TEST_F(ExpandVariablesTest, XmlFailuresAreLogged)
{
    const std::wstring xml = WriteFile(L"data.xml", "<Root><Version>1.2.3</Version></Root>");
    const std::wstring broken = WriteFile(L"broken.xml", "<Root><Version>");
    const std::wstring missing = folder_ / L"missing.xml";
    const struct {
        const char* name;
        std::wstring source;
        std::wstring entry;
    } cases[] = {
        {"empty XPath", xml + L"@", L"\t\r\nXML file read errors:\t" + xml + L", \r\n"},
        {"missing file", missing + L"@/Root",
         L"\t\r\nVariable cannot be read from XML file. Error opening file:\t" + missing + L"\r\n"},
        {"not well-formed", broken + L"@/Root",
         L"\t\r\nVariable cannot be read from XML file. Error opening file:\t" + broken + L"\r\n"},
        {"no match", xml + L"@/Root/Missing", L"\t\r\nVariable cannot be read from XML path:\t/Root/Missing\r\n"},
        {"not an expression", xml + L"@/Root[", L"\t\r\nVariable cannot be read from XML path:\t/Root[\r\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name);
        LogWatch watch;
        EXPECT_EQ(L"[]", ExpandVariables(L"[" + Token(entry.source, L"FILE") + L"]"));
        EXPECT_EQ(entry.entry + ReplacementEntry(entry.source, L""), watch.Added());
    }
}

TEST_F(ExpandVariablesTest, MessageTextFromResources)
{
    Common::StoreFieldText(g_configRecord.applicationName, L"Sample App");
    EXPECT_EQ(L"Sample App", LoadMessageText(233));
    EXPECT_EQ(L"a\r\nb\r\nc", LoadMessageText(234));
    EXPECT_EQ(L"", LoadMessageText(999));
}

TEST_F(ExpandVariablesTest, ChooseMessageTextRules)
{
    Common::StoreFieldText(g_configRecord.applicationName, L"Sample App");
    const struct {
        const char* name;
        const wchar_t* configured;
        UINT id;
        const wchar_t* expected;
    } cases[] = {
        {"no id, empty text", L"", 0, L""},
        {"no id, text is normalised", L"x\ny\r\nz\r", 0, L"x\r\ny\r\nz\r"},
        {"no id, text is expanded", L"%ApplicationName%\n", 0, L"Sample App\r\n"},
        {"id, empty text takes the resource", L"", 234, L"a\r\nb\r\nc"},
        {"id, resource is expanded", L"", 233, L"Sample App"},
        {"id, text keeps its line ends", L"x\ny", 234, L"x\ny"},
        {"id, text is expanded", L"%ApplicationName%\n", 233, L"Sample App\n"},
        {"id without resource, empty text", L"", 999, L""},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(std::wstring(entry.expected), ChooseMessageText(entry.configured, entry.id)) << entry.name;
}

} // namespace
