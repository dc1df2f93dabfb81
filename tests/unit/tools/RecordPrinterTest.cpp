#include "ConfigTestText.h"
#include "RecordFields.h"
#include "RecordPrinter.h"
#include "Utf8Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using NorvaneTool::FieldKind;
using NorvaneTool::FormatRecordText;
using NorvaneTool::ParseConfigText;
using NorvaneTool::StoreResult;
using NorvaneTool::WideToUtf8;

namespace {

ConfigRecord ReadBack(const ConfigRecord& record)
{
    return ParseConfigText(WideToUtf8(FormatRecordText(record)));
}

// A value that fills the field, with characters that must survive the trip: non-ASCII ones,
// a pair of surrogates, '=' and comment characters.
std::wstring FullValue(std::size_t width, int seed)
{
    std::wstring value = L"=#;\x00E9\xD83D\xDE00";
    while (value.size() < width - 1)
        value += static_cast<wchar_t>(L'a' + (seed + value.size()) % 26);
    return value;
}

template <typename Block>
void FillFields(const std::vector<NorvaneTool::BlockField<Block>>& fields, Block& block, int seed)
{
    for (const auto& field : fields) {
        ++seed;
        const std::wstring value = field.kind == FieldKind::Text ? FullValue(field.width, seed)
                                                                 : std::to_wstring(seed % 2 ? -seed * 1000 : seed);
        ASSERT_EQ(StoreResult::Stored, field.store(block, value)) << std::wstring(field.name);
    }
}

TEST(RecordPrinter, SampleReadsBackToTheSameRecord)
{
    const ConfigRecord record = ParseConfigText(ToolTest::SampleConfig());
    EXPECT_TRUE(ToolTest::SameBytes(record, ReadBack(record)));
}

TEST(RecordPrinter, EveryFieldFilledReadsBackToTheSameRecord)
{
    ConfigRecord record{};
    FillFields(NorvaneTool::TopLevelFields(), record, 0);
    FillFields(NorvaneTool::ServerFields(), record.primary, 100);
    FillFields(NorvaneTool::ServerFields(), record.backup, 200);
    EXPECT_TRUE(ToolTest::SameBytes(record, ReadBack(record)));
}

TEST(RecordPrinter, EmptyRecordReadsBackEmpty)
{
    EXPECT_TRUE(ToolTest::SameBytes(ConfigRecord{}, ReadBack(ConfigRecord{})));
}

TEST(RecordPrinter, WritesEveryFieldInRecordOrder)
{
    const std::wstring text = FormatRecordText(ParseConfigText(ToolTest::SampleConfig()));
    const std::wstring start = L"backupListed = 0\r\n"
                               L"mainApplication = SampleApp.exe\r\n"
                               L"applicationName = Sample Application\r\n"
                               L"bannerLinkUrl =\r\n";
    EXPECT_EQ(start, text.substr(0, start.size()));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nloggingEnabled = 1\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\ndeploymentNumber = 0\r\n\r\n[primary]\r\nprotocol = http://\r\n"
                                            L"hostPath = 127.0.0.1:8080/updates/update.xml\r\nport =\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n\r\n[backup]\r\nprotocol = https://\r\n"
                                            L"hostPath = localhost/update.xml\r\n"));
    const std::wstring end = L"filesPassiveFtp = 0\r\nhasFilesLocation = 0\r\n";
    EXPECT_EQ(end, text.substr(text.size() - end.size()));
}

TEST(RecordPrinter, WritesOneLinePerField)
{
    const std::wstring text = FormatRecordText(ConfigRecord{});
    std::size_t lines = 0;
    for (std::size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2))
        ++lines;
    // 19 top-level fields, then for each server a blank line, its header and 13 fields.
    EXPECT_EQ(19u + 2 * (2 + 13), lines);
}

} // namespace
