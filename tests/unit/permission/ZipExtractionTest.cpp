#include "permission/StandardFileManagement.h"
#include "permission/ZipExtraction.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using PermissionManager::StandardFileManagement;
using TestSupport::Exists;
using TestSupport::ReadBytes;
using TestSupport::ScratchFolder;

namespace {

std::wstring Archive(const std::wstring& name)
{
    return TestSupport::ZipFixture(name);
}

std::string Original(const std::wstring& archive, const std::wstring& entry)
{
    return ReadBytes(TestSupport::ZipFixtureFolder() + L"originals\\" + archive + L"\\" + entry);
}

SYSTEMTIME LocalLastWrite(const std::wstring& path, bool creation)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    SYSTEMTIME local = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return local;
    FILETIME localTime = {};
    ::FileTimeToLocalFileTime(creation ? &data.ftCreationTime : &data.ftLastWriteTime, &localTime);
    ::FileTimeToSystemTime(&localTime, &local);
    return local;
}

class ZipExtractionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(Archive(L"single"))) << "fixture archives missing in the folder NORVANE_ZIP_FIXTURES names "
                                                   "(CTest's permission_zip_fixtures writes them)";
    }

    LONG Extract(const std::wstring& archive) { return files_.ExtractZip(Archive(archive), target_); }

    std::string Extracted(const std::wstring& relative) const { return ReadBytes(target_ + relative); }

    ScratchFolder scratch_;
    std::wstring parent_ = scratch_ / L"parent\\";
    std::wstring target_ = parent_ + L"target\\";
    StandardFileManagement files_;
};

TEST_F(ZipExtractionTest, OneFileGivesCountOneWithoutPluralSuffix)
{
    const LONG count = Extract(L"single");
    EXPECT_EQ(1, count);
    EXPECT_STREQ(L"", PermissionManager::UnzippedFilesSuffix(count));
    const std::string original = Original(L"single", L"single.txt");
    ASSERT_EQ(3000u, original.size());
    EXPECT_EQ(original, Extracted(L"single.txt"));
}

TEST_F(ZipExtractionTest, NestedFilesAndFolderEntryGiveCountFourWithPluralSuffix)
{
    const LONG count = Extract(L"nested");
    EXPECT_EQ(4, count);
    EXPECT_STREQ(L"(s)", PermissionManager::UnzippedFilesSuffix(count));
    EXPECT_EQ(Original(L"nested", L"docs\\readme.txt"), Extracted(L"docs\\readme.txt"));
    EXPECT_EQ(Original(L"nested", L"docs\\deep\\data.bin"), Extracted(L"docs\\deep\\data.bin"));
    EXPECT_EQ(Original(L"nested", L"top.txt"), Extracted(L"top.txt"));
    EXPECT_EQ(100000u, Extracted(L"docs\\deep\\data.bin").size());
}

TEST_F(ZipExtractionTest, TargetWithoutTrailingBackslashAndMissingParentsIsCreated)
{
    const std::wstring deep = parent_ + L"a\\b\\c";
    EXPECT_EQ(1, files_.ExtractZip(Archive(L"single"), deep));
    EXPECT_EQ(Original(L"single", L"single.txt"), ReadBytes(deep + L"\\single.txt"));
}

TEST_F(ZipExtractionTest, FileTimesAreTheEntryTimeReadAsLocalTime)
{
    ASSERT_EQ(1, Extract(L"single"));
    for (const bool creation : {false, true}) {
        const SYSTEMTIME time = LocalLastWrite(target_ + L"single.txt", creation);
        EXPECT_EQ(2020, time.wYear);
        EXPECT_EQ(5, time.wMonth);
        EXPECT_EQ(17, time.wDay);
        EXPECT_EQ(13, time.wHour);
        EXPECT_EQ(45, time.wMinute);
        EXPECT_EQ(30, time.wSecond);
    }
}

TEST_F(ZipExtractionTest, ExistingFileIsOverwritten)
{
    ASSERT_TRUE(files_.MakeDirectories(target_));
    ASSERT_TRUE(TestSupport::WriteBytes(target_ + L"single.txt", std::string(50000, 'x')));
    EXPECT_EQ(1, Extract(L"single"));
    EXPECT_EQ(Original(L"single", L"single.txt"), Extracted(L"single.txt"));
}

TEST_F(ZipExtractionTest, BackslashSeparatedNamesMakeFolders)
{
    EXPECT_EQ(1, Extract(L"backslashes"));
    EXPECT_EQ(Original(L"backslashes", L"sub\\inner\\file.txt"), Extracted(L"sub\\inner\\file.txt"));
}

TEST_F(ZipExtractionTest, UnicodeNamesKeepTheirCharacters)
{
    const std::wstring name = L"r\u00e9sum\u00e9\\na\u00efve \u65e5\u672c.txt";
    EXPECT_EQ(1, Extract(L"unicode"));
    const std::string original = Original(L"unicode", name);
    ASSERT_EQ(800u, original.size());
    EXPECT_EQ(original, Extracted(name));
}

TEST_F(ZipExtractionTest, EmptyEntryGivesEmptyFile)
{
    EXPECT_EQ(2, Extract(L"emptyfile"));
    EXPECT_TRUE(Exists(target_ + L"empty.txt"));
    EXPECT_EQ("", Extracted(L"empty.txt"));
    EXPECT_EQ(Original(L"emptyfile", L"after.txt"), Extracted(L"after.txt"));
}

TEST_F(ZipExtractionTest, MissingCorruptOrTruncatedArchiveCannotBeOpened)
{
    for (const wchar_t* name : {L"no-such-archive", L"corrupt", L"truncated"}) {
        EXPECT_EQ(-1, Extract(name)) << name;
        EXPECT_FALSE(Exists(target_)) << name;
    }
}

TEST_F(ZipExtractionTest, ArchiveWithoutEntriesFails)
{
    EXPECT_EQ(-2, Extract(L"empty"));
    EXPECT_TRUE(TestSupport::FolderNames(target_).empty());
}

TEST_F(ZipExtractionTest, TargetFolderThatCannotBeMadeGivesZero)
{
    ASSERT_TRUE(files_.MakeDirectories(parent_));
    ASSERT_TRUE(TestSupport::WriteBytes(parent_ + L"blocker", "file"));
    EXPECT_EQ(0, files_.ExtractZip(Archive(L"single"), parent_ + L"blocker\\sub\\"));
    EXPECT_FALSE(Exists(parent_ + L"blocker\\sub\\single.txt"));
}

TEST_F(ZipExtractionTest, CrcErrorKeepsEarlierEntriesAndThePreviousFile)
{
    ASSERT_TRUE(files_.MakeDirectories(target_));
    ASSERT_TRUE(TestSupport::WriteBytes(target_ + L"second.bin", "previous version"));
    EXPECT_EQ(-2, Extract(L"badcrc"));
    EXPECT_EQ(Original(L"badcrc", L"first.txt"), Extracted(L"first.txt"));
    EXPECT_EQ("previous version", Extracted(L"second.bin"));
    // No scratch file of the failed entry is left behind.
    EXPECT_EQ(2u, TestSupport::FolderNames(target_).size());
}

TEST_F(ZipExtractionTest, EntryWhoseAnnouncedSizeLiesFails)
{
    for (const wchar_t* name : {L"sizelonger", L"sizeshorter"}) {
        EXPECT_EQ(-2, Extract(name)) << name;
        EXPECT_FALSE(Exists(target_ + L"liar.txt")) << name;
        EXPECT_TRUE(TestSupport::FolderNames(target_).empty()) << name;
    }
}

TEST_F(ZipExtractionTest, UnsupportedCompressionFailsWithoutWriting)
{
    EXPECT_EQ(-2, Extract(L"bzip2"));
    EXPECT_TRUE(TestSupport::FolderNames(target_).empty());
}

TEST_F(ZipExtractionTest, FactoryBackEndExtractsToo)
{
    const std::unique_ptr<PermissionManager::IClientFileManager> manager(PermissionManager::CreateFileManager());
    EXPECT_EQ(4, manager->ExtractZip(Archive(L"nested"), target_));
    EXPECT_EQ(Original(L"nested", L"top.txt"), Extracted(L"top.txt"));
}

// Each hostile archive starts with a harmless entry; its second entry names a place outside the
// target folder or a name Windows would not keep.
class HostileZipTest : public ZipExtractionTest, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HostileZipTest, IsRefusedBeforeAnythingIsWritten)
{
    EXPECT_EQ(-2, Extract(std::wstring(L"hostile-") + GetParam()));
    EXPECT_TRUE(TestSupport::FolderNames(target_).empty());
    const std::vector<std::wstring> beside = TestSupport::FolderNames(parent_);
    ASSERT_EQ(1u, beside.size());
    EXPECT_EQ(L"target", beside[0]);
    EXPECT_EQ(1u, TestSupport::FolderNames(scratch_.Path()).size());
    for (const wchar_t* root : {L"C:\\", L"Z:\\", L"\\"}) {
        for (const std::wstring& name : TestSupport::FolderNames(root))
            EXPECT_EQ(std::wstring::npos, name.find(L"evil")) << root << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Names, HostileZipTest,
                         ::testing::Values(L"dotdot", L"dotdotinner", L"dotdotback", L"absolute", L"absoluteback",
                                           L"drive", L"driverelative", L"unc", L"dotsonly", L"stream", L"control",
                                           L"device", L"trailingspace", L"folderescape", L"zero"));

TEST(ZipEntryPathTest, SeparatorsBecomeBackslashesAndTrailingOneMarksAFolder)
{
    std::wstring relative;
    bool folder = true;
    ASSERT_TRUE(PermissionManager::ToRelativeEntryPath(L"a/b\\c.txt", relative, folder));
    EXPECT_EQ(L"a\\b\\c.txt", relative);
    EXPECT_FALSE(folder);
    ASSERT_TRUE(PermissionManager::ToRelativeEntryPath(L"a/b/", relative, folder));
    EXPECT_EQ(L"a\\b", relative);
    EXPECT_TRUE(folder);
    ASSERT_TRUE(PermissionManager::ToRelativeEntryPath(L".hidden/cone.d/x..y", relative, folder));
    EXPECT_EQ(L".hidden\\cone.d\\x..y", relative);
}

TEST(ZipEntryPathTest, UnsafeNamesAreRefused)
{
    const wchar_t* const names[] = {L"",        L"/",           L"../x",   L"a/../../x", L"a/./b",   L"..",
                                    L"C:x",     L"\\\\s\\x",   L"a//b",   L"x.",        L"x ",      L"nul",
                                    L"LPT1.txt", L"Com9",       L"a\tb",   L"a|b",       L"a?b",     L"a*b",
                                    L"a\"b",    L"a<b",        L"a>b",    L"//"};
    for (const wchar_t* name : names) {
        std::wstring relative;
        bool folder = false;
        EXPECT_FALSE(PermissionManager::ToRelativeEntryPath(name, relative, folder)) << name;
    }
    std::wstring relative;
    bool folder = false;
    EXPECT_FALSE(PermissionManager::ToRelativeEntryPath(std::wstring(256, L'a'), relative, folder));
    EXPECT_TRUE(PermissionManager::ToRelativeEntryPath(std::wstring(255, L'a'), relative, folder));
}

} // namespace
