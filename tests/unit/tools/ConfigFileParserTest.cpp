#include "ConfigTestText.h"
#include "RecordFields.h"
#include "common/FixedText.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <ostream>
#include <string>
#include <vector>

using Common::FieldText;
using NorvaneTool::FieldKind;
using NorvaneTool::ParseConfigText;
using ToolTest::ParseError;

namespace {

TEST(ConfigFileParser, ReadsTheSampleConfiguration)
{
    const ConfigRecord record = ParseConfigText(ToolTest::SampleConfig());
    EXPECT_EQ(L"SampleApp.exe", FieldText(record.mainApplication));
    EXPECT_EQ(L"Sample Application", FieldText(record.applicationName));
    EXPECT_EQ(1, record.loggingEnabled);
    EXPECT_EQ(L"http://", FieldText(record.primary.protocol));
    EXPECT_EQ(L"127.0.0.1:8080/updates/update.xml", FieldText(record.primary.hostPath));
    EXPECT_EQ(L"https://", FieldText(record.backup.protocol));
    EXPECT_EQ(L"localhost/update.xml", FieldText(record.backup.hostPath));
}

TEST(ConfigFileParser, LeavesFieldsNotGivenZero)
{
    ConfigRecord expected{};
    Common::StoreFieldText(expected.companyName, L"Norvane");
    expected.backup.passiveFtp = -3;
    EXPECT_TRUE(ToolTest::SameBytes(expected, ParseConfigText("companyName = Norvane\n[backup]\npassiveFtp = -3\n")));
}

TEST(ConfigFileParser, EmptyTextGivesAnEmptyRecord)
{
    EXPECT_TRUE(ToolTest::SameBytes(ConfigRecord{}, ParseConfigText("")));
    EXPECT_TRUE(ToolTest::SameBytes(ConfigRecord{}, ParseConfigText("\xEF\xBB\xBF")));
}

TEST(ConfigFileParser, AcceptsByteOrderMarkAndCrLf)
{
    const ConfigRecord record =
        ParseConfigText("\xEF\xBB\xBFmainApplication = A.exe\r\n; comment\r\n\r\n[primary]\r\nport = 8080\r\n");
    EXPECT_EQ(L"A.exe", FieldText(record.mainApplication));
    EXPECT_EQ(L"8080", FieldText(record.primary.port));
}

TEST(ConfigFileParser, TrimsBlanksAndTabsAroundNameAndValue)
{
    const ConfigRecord record = ParseConfigText(" \tapplicationName\t =  My  App \t\n\t[primary] \n  hostPath=h/p\n");
    EXPECT_EQ(L"My  App", FieldText(record.applicationName));
    EXPECT_EQ(L"h/p", FieldText(record.primary.hostPath));
}

TEST(ConfigFileParser, ValueIsEverythingAfterTheFirstEquals)
{
    const ConfigRecord record = ParseConfigText("bannerLinkUrl = http://x/?a=1&b=2 # not a comment\n");
    EXPECT_EQ(L"http://x/?a=1&b=2 # not a comment", FieldText(record.bannerLinkUrl));
}

TEST(ConfigFileParser, EmptyTextValueIsAllowed)
{
    const ConfigRecord record = ParseConfigText("securityCode =\ninbuiltVersion =   \n");
    EXPECT_TRUE(ToolTest::SameBytes(ConfigRecord{}, record));
}

TEST(ConfigFileParser, ReadsUtf8IntoUtf16)
{
    const ConfigRecord record = ParseConfigText("companyName = Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n");
    EXPECT_EQ(std::wstring(L"Caf\x00E9 \x20AC \xD83D\xDE00"), FieldText(record.companyName));
}

TEST(ConfigFileParser, SameFieldMayAppearInEachSection)
{
    const ConfigRecord record = ParseConfigText("[primary]\nport = 1\n[backup]\nport = 2\n");
    EXPECT_EQ(L"1", FieldText(record.primary.port));
    EXPECT_EQ(L"2", FieldText(record.backup.port));
}

TEST(ConfigFileParser, SectionMayBeReopened)
{
    const ConfigRecord record = ParseConfigText("[primary]\nport = 1\n[backup]\nport = 2\n[primary]\nuserName = u\n");
    EXPECT_EQ(L"1", FieldText(record.primary.port));
    EXPECT_EQ(L"u", FieldText(record.primary.userName));
}

TEST(ConfigFileParser, ReadsNegativeIntegers)
{
    const ConfigRecord record = ParseConfigText("deploymentNumber = -2147483648\ncheckFrequency = 2147483647\n");
    EXPECT_EQ(-2147483647 - 1, record.deploymentNumber);
    EXPECT_EQ(2147483647, record.checkFrequency);
}

struct RefusedText {
    const char* label;
    const char* text;
    const wchar_t* message;
};

std::ostream& operator<<(std::ostream& stream, const RefusedText& refused)
{
    return stream << refused.label;
}

class RefusedConfig : public testing::TestWithParam<RefusedText> {};

TEST_P(RefusedConfig, NamesTheLineAndTheMistake)
{
    EXPECT_EQ(GetParam().message, ParseError(GetParam().text));
}

const char kLongName[] = "mainApplication = 12345678901234567890123456789012345678901234567890\n";
const std::string kLongHostPath = "[primary]\nhostPath = " + std::string(256, 'h') + "\n";

INSTANTIATE_TEST_SUITE_P(
    ConfigFileParser, RefusedConfig,
    testing::Values(
        RefusedText{"UnknownField", "mainApp = x\n", L"line 1: unknown field 'mainApp'"},
        RefusedText{"FieldNameCase", "MainApplication = x\n", L"line 1: unknown field 'MainApplication'"},
        RefusedText{"ReservedField", "# r\nreserved1 = x\n", L"line 2: unknown field 'reserved1'"},
        RefusedText{"ReservedBytes", "reserved3 = 0\n", L"line 1: unknown field 'reserved3'"},
        RefusedText{"EmptyName", " = x\n", L"line 1: unknown field ''"},
        RefusedText{"TopLevelFieldInSection", "[primary]\nmainApplication = x\n",
                    L"line 2: unknown field 'primary.mainApplication'"},
        RefusedText{"ServerFieldAtTopLevel", "hostPath = x\n", L"line 1: unknown field 'hostPath'"},
        RefusedText{"UnknownSection", "[tertiary]\n", L"line 1: unknown section '[tertiary]'"},
        RefusedText{"SectionCase", "\n[Primary]\n", L"line 2: unknown section '[Primary]'"},
        RefusedText{"UnclosedSection", "[primary\n", L"line 1: unknown section '[primary'"},
        RefusedText{"MissingEquals", "# c\nmainApplication SampleApp.exe\n",
                    L"line 2: missing '=' in 'mainApplication SampleApp.exe'"},
        RefusedText{"BadInteger", "loggingEnabled = yes\n",
                    L"line 1: field 'loggingEnabled' takes a decimal integer from -2147483648 to 2147483647, not 'yes'"},
        RefusedText{"EmptyInteger", "stayOnTop =\n",
                    L"line 1: field 'stayOnTop' takes a decimal integer from -2147483648 to 2147483647, not ''"},
        RefusedText{"IntegerOutOfRange", "checkFrequency = 2147483648\n",
                    L"line 1: field 'checkFrequency' takes a decimal integer from -2147483648 to 2147483647, not "
                    L"'2147483648'"},
        RefusedText{"BadServerInteger", "[backup]\npassiveFtp = 1x\n",
                    L"line 2: field 'backup.passiveFtp' takes a decimal integer from -2147483648 to 2147483647, not "
                    L"'1x'"},
        RefusedText{"GivenTwice", "companyName = a\n\ncompanyName = a\n",
                    L"line 3: field 'companyName' is given twice (first on line 1)"},
        RefusedText{"GivenTwiceInReopenedSection", "[primary]\nport = 1\n[backup]\nport = 2\n[primary]\nport = 3\n",
                    L"line 6: field 'primary.port' is given twice (first on line 2)"},
        RefusedText{"TooLong", kLongName, L"line 1: field 'mainApplication' is longer than its 49 characters"},
        RefusedText{"ServerFieldTooLong", kLongHostPath.c_str(),
                    L"line 2: field 'primary.hostPath' is longer than its 255 characters"},
        RefusedText{"InvalidUtf8", "applicationName = ok\napplicationName = \xC3\x28\n",
                    L"line 2: the text is not valid UTF-8"}),
    [](const testing::TestParamInfo<RefusedText>& info) { return std::string(info.param.label); });

// The first error wins, and nothing after it matters.
TEST(ConfigFileParser, ReportsTheFirstMistake)
{
    EXPECT_EQ(L"line 2: unknown field 'x'", ParseError("loggingEnabled = 1\nx = 1\ny\n"));
}

TEST(ConfigFileParser, ZeroCharacterInsideALine)
{
    EXPECT_EQ(L"line 1: the line contains a zero character",
              ParseError(std::string("companyName = a\0b\n", 18)));
}

// Every text field holds width - 1 characters and refuses one more, naming its limit.
template <typename Block>
void CheckWidthBoundaries(const std::vector<NorvaneTool::BlockField<Block>>& fields, const std::string& section,
                          const std::wstring& prefix)
{
    for (const auto& field : fields) {
        if (field.kind != FieldKind::Text)
            continue;
        const std::string name(field.name, field.name + std::wcslen(field.name));
        const std::string fits = section + name + " = " + std::string(field.width - 1, 'x') + "\n";
        const std::string over = section + name + " = " + std::string(field.width, 'x') + "\n";
        EXPECT_EQ(L"", ParseError(fits)) << name;
        const std::wstring line = section.empty() ? L"line 1" : L"line 2";
        EXPECT_EQ(line + L": field '" + prefix + field.name + L"' is longer than its " +
                      std::to_wstring(field.width - 1) + L" characters",
                  ParseError(over))
            << name;
    }
}

TEST(ConfigFileParser, EveryTextFieldHoldsItsWidthLessOne)
{
    CheckWidthBoundaries(NorvaneTool::TopLevelFields(), "", L"");
    CheckWidthBoundaries(NorvaneTool::ServerFields(), "[primary]\n", L"primary.");
    CheckWidthBoundaries(NorvaneTool::ServerFields(), "[backup]\n", L"backup.");
}

TEST(ConfigFileParser, FortyNineCharactersFillTheMainApplicationField)
{
    const std::string name(49, 'a');
    const ConfigRecord record = ParseConfigText("mainApplication = " + name + "\n");
    EXPECT_EQ(std::wstring(49, L'a'), FieldText(record.mainApplication));
    EXPECT_EQ(L'\0', record.mainApplication[49]);
    EXPECT_EQ(L"line 1: field 'mainApplication' is longer than its 49 characters",
              ParseError("mainApplication = " + name + "a\n"));
}

// Widths count UTF-16 units: a character outside the basic plane takes two.
TEST(ConfigFileParser, WidthCountsUtf16Units)
{
    std::string fits;
    for (int i = 0; i < 24; ++i)
        fits += "\xF0\x9F\x98\x80";
    EXPECT_EQ(L"", ParseError("mainApplication = " + fits + "a\n"));
    EXPECT_EQ(L"line 1: field 'mainApplication' is longer than its 49 characters",
              ParseError("mainApplication = " + fits + "\xF0\x9F\x98\x80\n"));
    // Multi-byte UTF-8 characters of the basic plane take one unit each.
    EXPECT_EQ(L"", ParseError("mainApplication = " + std::string(48, 'a') + "\xC3\xA9\n"));
}

TEST(RecordFields, TablesMatchTheRecordWidths)
{
    EXPECT_EQ(19u, NorvaneTool::TopLevelFields().size());
    EXPECT_EQ(13u, NorvaneTool::ServerFields().size());
    const NorvaneTool::TopLevelField* main = NorvaneTool::FindField(NorvaneTool::TopLevelFields(), L"mainApplication");
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(FieldKind::Text, main->kind);
    EXPECT_EQ(50u, main->width);
    const NorvaneTool::ServerField* host = NorvaneTool::FindField(NorvaneTool::ServerFields(), L"hostPath");
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(256u, host->width);
    const NorvaneTool::ServerField* passive = NorvaneTool::FindField(NorvaneTool::ServerFields(), L"passiveFtp");
    ASSERT_NE(nullptr, passive);
    EXPECT_EQ(FieldKind::Integer, passive->kind);
    EXPECT_EQ(nullptr, NorvaneTool::FindField(NorvaneTool::TopLevelFields(), L"reserved1"));
}

} // namespace
