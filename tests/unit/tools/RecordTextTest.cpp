#include "ConfigTestText.h"
#include "RecordText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using NorvaneTool::DecodeRecordText;
using NorvaneTool::RecordResourceData;

namespace {

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

ConfigRecord PatternRecord()
{
    ConfigRecord record{};
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&record);
    for (std::size_t i = 0; i < sizeof record; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    return record;
}

TEST(RecordText, IsSixtyNineFullLinesAndOneOfFortyFourThenAZeroByte)
{
    const std::string data = RecordResourceData(PatternRecord());
    ASSERT_EQ(5288u + 69 * 2 + 1, data.size());
    EXPECT_EQ('\0', data.back());
    const std::vector<std::string> lines = SplitCrLf(data.substr(0, data.size() - 1));
    ASSERT_EQ(70u, lines.size());
    for (std::size_t i = 0; i < 69; ++i)
        EXPECT_EQ(76u, lines[i].size()) << i;
    EXPECT_EQ(44u, lines[69].size());
    for (const std::string& line : lines) {
        EXPECT_EQ(std::string::npos, line.find_first_not_of(
                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"))
            << line;
    }
}

TEST(RecordText, DecodesBackToTheSameBytes)
{
    const ConfigRecord record = PatternRecord();
    ConfigRecord decoded{};
    EXPECT_EQ(kConfigRecordSize, DecodeRecordText(RecordResourceData(record), decoded));
    EXPECT_TRUE(ToolTest::SameBytes(record, decoded));
}

TEST(RecordText, ParsedConfigurationSurvivesTheEncoding)
{
    const ConfigRecord record = NorvaneTool::ParseConfigText(ToolTest::SampleConfig());
    ConfigRecord decoded{};
    EXPECT_EQ(kConfigRecordSize, DecodeRecordText(RecordResourceData(record), decoded));
    EXPECT_TRUE(ToolTest::SameBytes(record, decoded));
}

TEST(RecordText, EmptyRecordIsAllA)
{
    const std::string data = RecordResourceData(ConfigRecord{});
    const std::vector<std::string> lines = SplitCrLf(data.substr(0, data.size() - 1));
    EXPECT_EQ(std::string(76, 'A'), lines[0]);
    EXPECT_EQ(std::string(44, 'A'), lines[69]);
}

TEST(RecordText, ShortTextLeavesTheRestZero)
{
    ConfigRecord decoded = PatternRecord();
    EXPECT_EQ(3u, DecodeRecordText("QUJD", decoded));
    ConfigRecord expected{};
    reinterpret_cast<unsigned char*>(&expected)[0] = 'A';
    reinterpret_cast<unsigned char*>(&expected)[1] = 'B';
    reinterpret_cast<unsigned char*>(&expected)[2] = 'C';
    EXPECT_TRUE(ToolTest::SameBytes(expected, decoded));
}

TEST(RecordText, LongTextStopsAtTheRecordSize)
{
    const std::string data = RecordResourceData(PatternRecord());
    ConfigRecord decoded{};
    EXPECT_EQ(kConfigRecordSize, DecodeRecordText(data.substr(0, data.size() - 1) + "QUJDQUJD", decoded));
    EXPECT_TRUE(ToolTest::SameBytes(PatternRecord(), decoded));
}

} // namespace
