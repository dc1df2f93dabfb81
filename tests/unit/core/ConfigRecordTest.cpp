#include "core/ConfigRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Decode(const std::string& text, std::size_t capacity = 64)
{
    std::vector<unsigned char> output(capacity, 0xCC);
    output.resize(DecodeBase64(text.c_str(), output.data(), capacity));
    return output;
}

std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

struct DecodeCase {
    const char* text;
    const char* expected;
};

class DecodeBase64Cases : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeBase64Cases, DecodesToTheExpectedBytes)
{
    EXPECT_EQ(Bytes(GetParam().expected), Decode(GetParam().text)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeBase64Cases, ::testing::Values(
    DecodeCase{"TWFu", "Man"},
    DecodeCase{"TWE=", "Ma"},
    DecodeCase{"TQ==", "M"},
    DecodeCase{"TWFuTWFu", "ManMan"},
    DecodeCase{"TW\r\nFu", "Man"},
    DecodeCase{"T W F u", "Man"},
    DecodeCase{" TWFu\r\nTQ==\r\n", "ManM"},
    DecodeCase{"T*W\x01""F\tu", "Man"},
    DecodeCase{"", ""},
    DecodeCase{"\r\n  \r\n", ""},
    // A short final group is decoded as far as it goes and never read past.
    DecodeCase{"TWFuTW", "ManM"},
    DecodeCase{"TWFuT", "Man"}));

TEST(DecodeBase64, NeverWritesPastTheCapacity)
{
    std::vector<unsigned char> output(8, 0xCC);
    const std::size_t written = DecodeBase64("TWFuTWFuTWFuTWFu", output.data(), 5);
    EXPECT_EQ(5u, written);
    EXPECT_EQ(Bytes("ManMa"), std::vector<unsigned char>(output.begin(), output.begin() + 5));
    EXPECT_EQ(0xCC, output[5]);
}

TEST(RecordText, HasTheStoredShapeAndDecodesBack)
{
    std::vector<unsigned char> record(kConfigRecordSize);
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<unsigned char>(i * 7 + 3);
    const std::string text = EncodeRecordText(record.data(), record.size());

    std::vector<std::string> lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    ASSERT_EQ(70u, lines.size());
    for (std::size_t i = 0; i < 69; ++i)
        EXPECT_EQ(76u, lines[i].size()) << "line " << i;
    EXPECT_EQ(44u, lines[69].size());
    EXPECT_EQ(std::string::npos, text.find('='));

    std::vector<unsigned char> decoded(kConfigRecordSize + 16, 0);
    EXPECT_EQ(kConfigRecordSize, DecodeBase64(text.c_str(), decoded.data(), decoded.size()));
    decoded.resize(kConfigRecordSize);
    EXPECT_EQ(record, decoded);
}

TEST(RecordText, TextThatWouldOverrunTheRecordIsCutAtItsSize)
{
    std::vector<unsigned char> longer(kConfigRecordSize + 300, 0x5A);
    const std::string text = EncodeRecordText(longer.data(), longer.size());
    struct Guarded { ConfigRecord record; unsigned char guard[64]; } guarded;
    std::memset(&guarded, 0, sizeof guarded);
    EXPECT_EQ(kConfigRecordSize, DecodeBase64(text.c_str(), reinterpret_cast<unsigned char*>(&guarded.record),
                                              sizeof guarded.record));
    for (unsigned char byte : guarded.guard)
        ASSERT_EQ(0, byte);
    EXPECT_EQ(0x5A5A5A5A, guarded.record.deploymentNumber);
}

TEST(RecordText, FieldsLandAtTheirOffsets)
{
    std::vector<unsigned char> bytes(kConfigRecordSize, 0);
    const wchar_t name[] = L"App.exe";
    std::memcpy(&bytes[3036], name, sizeof name);
    bytes[3928] = 1;    // loggingEnabled
    bytes[3952] = 0x2A; // deploymentNumber
    const wchar_t backupHost[] = L"backup/u.xml";
    std::memcpy(&bytes[1516 + 32], backupHost, sizeof backupHost);
    const std::string text = EncodeRecordText(bytes.data(), bytes.size());

    ConfigRecord record;
    DecodeBase64(text.c_str(), reinterpret_cast<unsigned char*>(&record), sizeof record);
    EXPECT_STREQ(L"App.exe", record.mainApplication);
    EXPECT_EQ(1, record.loggingEnabled);
    EXPECT_EQ(42, record.deploymentNumber);
    EXPECT_STREQ(L"backup/u.xml", record.backup.hostPath);
}

} // namespace
