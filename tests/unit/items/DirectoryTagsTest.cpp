#include "items/DirectoryTags.h"

#include "support/TestFiles.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring OwnFolder()
{
    const std::wstring path = OwnPath();
    return path.substr(0, path.rfind(L'\\') + 1);
}

// What the shell reports for a folder code, or the program's folder when it reports nothing.
std::wstring ShellFolder(int folderCode)
{
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, path, folderCode, FALSE) || path[0] == L'\0')
        return OwnFolder();
    return path;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& unit : text)
        unit = static_cast<wchar_t>(std::towlower(unit));
    return text;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& unit : text)
        unit = static_cast<wchar_t>(std::towupper(unit));
    return text;
}

using TestSupport::CurrentDirectory;

TEST(DirectoryTags, TableHoldsTheTenTagsInLookupOrderWithTheirFolderCodes)
{
    const struct {
        const wchar_t* tag;
        int folderCode;
    } expected[] = {
        {L"<ApplicationDir>", 0},     {L"<CommonAppDataDir>", 0x23}, {L"<CommonDesktopDir>", 0x19},
        {L"<CommonProgramFilesDir>", 0x2B}, {L"<CurrentDrive>", 0}, {L"<Desktop>", 0},
        {L"<ProgramFilesDir>", 0x26}, {L"<StartMenu>", 0x0B},        {L"<SystemDir>", 0x25},
        {L"<WinDir>", 0x24},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], kDirectoryTagCount);
    for (std::size_t i = 0; i < kDirectoryTagCount; ++i) {
        EXPECT_EQ(std::wstring(expected[i].tag), kDirectoryTags[i].tag);
        EXPECT_EQ(expected[i].folderCode, kDirectoryTags[i].folderCode) << i;
        EXPECT_NE(nullptr, kDirectoryTags[i].description);
    }
    EXPECT_EQ(std::wstring(L"C:\\Windows\\System32"), kDirectoryTags[8].description);
}

TEST(DirectoryTags, ApplicationDirIsTheProgramFolderWithItsBackslash)
{
    const std::wstring folder = TranslateDirectoryTag(L"<ApplicationDir>");
    EXPECT_EQ(OwnFolder(), folder);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(L'\\', folder.back());
}

TEST(DirectoryTags, CurrentDriveIsTheProgramDriveWithoutBackslash)
{
    const std::wstring drive = TranslateDirectoryTag(L"<CurrentDrive>");
    ASSERT_EQ(2u, drive.size());
    EXPECT_EQ(OwnPath().substr(0, 2), drive);
    EXPECT_EQ(L':', drive[1]);
}

// Every folder tag in its table spelling, in lower case and in upper case.
TEST(DirectoryTags, FolderTagsResolveThroughTheShellInAnyLetterCase)
{
    const struct {
        const wchar_t* tag;
        int folderCode;
    } rows[] = {
        {L"<CommonAppDataDir>", 0x23}, {L"<CommonDesktopDir>", 0x19}, {L"<CommonProgramFilesDir>", 0x2B},
        {L"<Desktop>", 0x00},          {L"<ProgramFilesDir>", 0x26},  {L"<StartMenu>", 0x0B},
        {L"<SystemDir>", 0x25},        {L"<WinDir>", 0x24},
    };
    for (const auto& row : rows) {
        const std::wstring expected = ShellFolder(row.folderCode);
        EXPECT_EQ(expected, TranslateDirectoryTag(row.tag)) << row.tag;
        EXPECT_EQ(expected, TranslateDirectoryTag(Lower(row.tag))) << row.tag;
        EXPECT_EQ(expected, TranslateDirectoryTag(Upper(row.tag))) << row.tag;
    }
}

// A second source for two of the folders, so that a shell that fails everywhere (and so
// makes every tag the program folder) cannot pass the tests above.
TEST(DirectoryTags, WindowsAndSystemFoldersAgreeWithTheSystemCalls)
{
    wchar_t windows[MAX_PATH] = {};
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetWindowsDirectoryW(windows, MAX_PATH));
    ASSERT_NE(0u, ::GetSystemDirectoryW(system, MAX_PATH));
    EXPECT_EQ(Lower(windows), Lower(TranslateDirectoryTag(L"<WinDir>")));
    EXPECT_EQ(Lower(system), Lower(TranslateDirectoryTag(L"<SystemDir>")));
}

TEST(DirectoryTags, ProgramTagsInAnotherLetterCaseNameTheDesktop)
{
    const std::wstring desktop = ShellFolder(CSIDL_DESKTOP);
    ASSERT_NE(OwnFolder(), desktop);
    EXPECT_EQ(desktop, TranslateDirectoryTag(L"<applicationdir>"));
    EXPECT_EQ(desktop, TranslateDirectoryTag(L"<APPLICATIONDIR>"));
    EXPECT_EQ(desktop, TranslateDirectoryTag(L"<currentdrive>"));
    EXPECT_EQ(desktop, TranslateDirectoryTag(L"<CURRENTDRIVE>"));
}

TEST(DirectoryTags, AnythingElseIsTheProgramFolder)
{
    const wchar_t* const others[] = {L"<NoSuchDir>", L"WinDir", L"<WinDir", L"<WinDir>\\", L"", L"<>"};
    for (const wchar_t* other : others)
        EXPECT_EQ(OwnFolder(), TranslateDirectoryTag(other)) << other;
}

TEST(TaggedPath, LeadingTextIsDroppedAndTheRestNormalised)
{
    EXPECT_EQ(ShellFolder(CSIDL_WINDOWS) + L"\\first\\second", TranslateTaggedPath(L"x<WinDir>\\first//second"));
}

TEST(TaggedPath, TagInAnyLetterCaseWithTextAfterIt)
{
    EXPECT_EQ(ShellFolder(CSIDL_SYSTEM) + L"\\drivers\\etc", TranslateTaggedPath(L"<systemdir>/drivers/etc"));
    EXPECT_EQ(OwnFolder() + L"data\\file.txt", TranslateTaggedPath(L"<ApplicationDir>data\\\\file.txt"));
    EXPECT_EQ(OwnPath().substr(0, 2) + L"\\file.txt", TranslateTaggedPath(L"<CurrentDrive>\\file.txt"));
}

TEST(TaggedPath, PathsWithoutACompleteTagAreReturnedUntouched)
{
    const wchar_t* const paths[] = {
        L"C:\\plain//path",    // no "<" at all: not even normalised
        L"<WinDir\\name//x",   // no ">"
        L"a>b<WinDir//x",      // the only ">" comes before the "<"
        L"",
    };
    for (const wchar_t* path : paths)
        EXPECT_EQ(std::wstring(path), TranslateTaggedPath(path)) << path;
}

TEST(TaggedPath, UnknownTagFallsBackToTheProgramFolder)
{
    EXPECT_EQ(OwnFolder() + L"name", TranslateTaggedPath(L"<Elsewhere>\\name"));
}

TEST(NormalizePath, SeparatorsAndDoubledBackslashes)
{
    const struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        {L"", L""},
        {L"\\", L"\\"},
        {L"/", L"\\"},
        {L"C:/a/b", L"C:\\a\\b"},
        {L"C:\\\\a\\\\b", L"C:\\a\\b"},
        {L"C:\\a\\\\\\b", L"C:\\a\\b"},             // three
        {L"C:\\a\\\\\\\\b", L"C:\\a\\b"},           // four
        {L"C:\\a\\\\\\\\\\b", L"C:\\a\\\\b"},       // five: two passes leave a pair
        {L"C:\\a//b", L"C:\\a\\b"},
        {L"relative\\\\name", L"relative\\name"},  // only "." paths are made absolute
        {L"\\\\server\\share\\\\dir", L"\\\\server\\share\\dir"},
        {L"//server/share//dir", L"\\\\server\\share\\dir"},
        {L"\\\\\\server\\share", L"\\\\server\\share"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(std::wstring(entry.expected), NormalizePath(entry.path)) << entry.path;
}

TEST(NormalizePath, DotPathsAreMadeAbsoluteAgainstTheCurrentDirectory)
{
    TestSupport::ScratchFolder folder;
    CurrentDirectory current(folder.Path());
    wchar_t actual[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, actual);
    std::wstring base(actual);
    if (base.back() != L'\\')
        base += L'\\';

    EXPECT_EQ(base + L"sub\\file.txt", NormalizePath(L".\\sub//file.txt"));
    EXPECT_EQ(base + L"file.txt", NormalizePath(L"./file.txt"));
    const std::wstring parent = base.substr(0, base.rfind(L'\\', base.size() - 2) + 1);
    EXPECT_EQ(parent + L"other", NormalizePath(L"..\\other"));
}

TEST(NormalizePath, DotPathTooLongForAPathBufferStaysRelative)
{
    const std::wstring longPath = L".\\" + std::wstring(300, L'a') + L"\\name";
    EXPECT_EQ(longPath, NormalizePath(longPath));
}

} // namespace
