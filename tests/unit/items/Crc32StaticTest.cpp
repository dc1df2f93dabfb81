#include "items/Crc32Static.h"

#include "common/UniqueHandle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Bit by bit, without any table, as the reference the table-driven code must agree with.
DWORD ReferenceCrc(const Bytes& bytes)
{
    DWORD crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

DWORD BufferCrc(const Bytes& bytes)
{
    return ~CCrc32Static::Update(0xFFFFFFFFu, bytes.data(), static_cast<DWORD>(bytes.size()));
}

Bytes Ascii(const char* text)
{
    return Bytes(text, text + std::char_traits<char>::length(text));
}

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 31 + 7) % 256);
    return bytes;
}

DWORD TextCrc(const std::wstring& text)
{
    DWORD crc = 0x12345678u;
    EXPECT_EQ(0u, CCrc32Static::TextCrc32(text, crc));
    return crc;
}

TEST(Crc32Update, KnownChecksums)
{
    struct Case {
        const char* text;
        DWORD crc;
    };
    const Case cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"abc", 0x352441C2u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.crc, BufferCrc(Ascii(c.text)));
    }
}

TEST(Crc32Update, EveryTableEntryAgreesWithTheBitwiseDefinition)
{
    for (int value = 0; value < 256; ++value) {
        const Bytes single(1, static_cast<unsigned char>(value));
        ASSERT_EQ(ReferenceCrc(single), BufferCrc(single)) << "byte " << value;
    }
}

TEST(Crc32Update, FeedingInPiecesEqualsFeedingAtOnce)
{
    const Bytes data = Pattern(1000);
    DWORD running = 0xFFFFFFFFu;
    running = CCrc32Static::Update(running, data.data(), 1);
    running = CCrc32Static::Update(running, data.data() + 1, 0);
    running = CCrc32Static::Update(running, data.data() + 1, 998);
    running = CCrc32Static::Update(running, data.data() + 999, 1);
    EXPECT_EQ(ReferenceCrc(data), ~running);
}

TEST(Crc32Text, CrcOfTheUtf16LittleEndianText)
{
    EXPECT_EQ(0xAD957AB0u, TextCrc(L"abc"));
    EXPECT_EQ(0u, TextCrc(L""));
}

TEST(Crc32Text, BlanksTabsAndLineBreaksAreLeftOut)
{
    const wchar_t* const texts[] = {L"a b\tc", L"a\r\nb\nc\r", L"  abc  ", L"\t\r\n a \t\r\n b \t\r\n c \t\r\n"};
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(0xAD957AB0u, TextCrc(text));
    }
}

TEST(Crc32Text, OtherSpacingCharactersCount)
{
    const wchar_t* const texts[] = {L"a\vbc", L"a\fbc", L"a\x00A0" L"bc", L"a\x3000" L"bc"};
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_NE(0xAD957AB0u, TextCrc(text));
    }
}

TEST(Crc32Text, UnitsAboveAsciiFeedBothBytesLowFirst)
{
    EXPECT_EQ(0xCE655A5Au, TextCrc(L"\x00E9"));             // bytes E9 00
    EXPECT_EQ(0x7805C1D2u, TextCrc(L"\x20AC"));             // bytes AC 20
    EXPECT_EQ(0xC7CEF10Bu, TextCrc(L"h\x00E9 \x20AC"));     // bytes 68 00 E9 00 AC 20
    EXPECT_EQ(ReferenceCrc(Bytes{0xAC, 0x20}), TextCrc(L"\x20AC"));
}

TEST(Crc32Text, EndsAtTheFirstZeroUnit)
{
    EXPECT_EQ(TextCrc(L"ab"), TextCrc(std::wstring(L"ab\0cd", 5)));
}

class Crc32File : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        folder_ = std::wstring(temp) + L"NorvaneCrcTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                  std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++counter_);
        ASSERT_TRUE(::CreateDirectoryW(folder_.c_str(), nullptr));
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(folder_), ignored);
    }

    std::wstring Write(const std::wstring& name, const Bytes& content)
    {
        const std::wstring path = folder_ + L"\\" + name;
        Common::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.Valid());
        DWORD written = 0;
        if (!content.empty()) {
            EXPECT_TRUE(::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                                    nullptr));
        }
        EXPECT_EQ(content.size(), written);
        return path;
    }

    static unsigned counter_;
    std::wstring folder_;
};

unsigned Crc32File::counter_ = 0;

TEST_F(Crc32File, AnEmptyFileHasCrcZero)
{
    DWORD crc = 0x12345678u;
    EXPECT_EQ(0u, CCrc32Static::FileCrc32(Write(L"empty.bin", Bytes()), crc));
    EXPECT_EQ(0u, crc);
}

TEST_F(Crc32File, CrcOfTheWholeContentWhateverItsBlockCount)
{
    EXPECT_EQ(0x38E68819u, ReferenceCrc(Pattern(10000))); // the reference itself, against zlib
    const size_t sizes[] = {1, 3, 4095, 4096, 4097, 8192, 10000, 3 * 4096 + 5};
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const Bytes content = Pattern(size);
        DWORD crc = 0;
        EXPECT_EQ(0u, CCrc32Static::FileCrc32(Write(L"data" + std::to_wstring(size) + L".bin", content), crc));
        EXPECT_EQ(ReferenceCrc(content), crc);
    }
    DWORD crc = 0;
    EXPECT_EQ(0u, CCrc32Static::FileCrc32(Write(L"abc.txt", Ascii("abc")), crc));
    EXPECT_EQ(0x352441C2u, crc);
}

TEST_F(Crc32File, ReadOnlyHiddenFilesAreChecked)
{
    const std::wstring path = Write(L"protected.bin", Ascii("abc"));
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    DWORD crc = 0;
    EXPECT_EQ(0u, CCrc32Static::FileCrc32(path, crc));
    EXPECT_EQ(0x352441C2u, crc);
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
}

TEST_F(Crc32File, AFileThatCannotBeOpenedGivesItsOpenError)
{
    DWORD crc = 0;
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), CCrc32Static::FileCrc32(folder_ + L"\\absent.bin", crc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
              CCrc32Static::FileCrc32(folder_ + L"\\absent\\file.bin", crc));

    const std::wstring locked = Write(L"locked.bin", Ascii("abc"));
    Common::UniqueFile holder(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), CCrc32Static::FileCrc32(locked, crc));
}

} // namespace
