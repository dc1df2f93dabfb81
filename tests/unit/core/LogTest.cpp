#include "core/Log.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TestSupport::ScratchFolder;

std::wstring ReadLog(const std::wstring& path)
{
    const std::string bytes = TestSupport::ReadBytes(path);
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF || static_cast<unsigned char>(bytes[1]) != 0xFE)
        return L"<no byte-order mark>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

const wchar_t kStartLines[] =
    L"Logging started\r\n"
    L"\r\nPermission Manager Service is inactive.\r\n"
    L"\tIt is highly recommended that your deployment install the Permission Manager Service.\r\n"
    L"\tThis service will allow restricted (non-admin) users to update your software.\r\n"
    L"\tTo install use the /PermissionManagerInstall command-line flag.\r\n\r\n";

// The first heading of the process has no blank line before it, so this test opens the
// process's first log.
TEST(Log, StartsWithTheMarkAndStartLinesAndEndsWithEndOfRecording)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"first.txt";
    {
        Log log;
        log.SetUp(path, false);
        ASSERT_TRUE(log.IsOpen());
        log.Heading(L"Second heading");
        log.Line(L"text");
    }
    EXPECT_EQ(std::wstring(kStartLines) + L"\r\nSecond heading\r\n\ttext\r\n\tEnd of recording\r\n", ReadLog(path));
}

TEST(Log, LineKindsHaveTheirFormats)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"kinds.txt";
    Log log;
    log.SetUp(path, false);
    const std::wstring start = ReadLog(path);
    log.Line(L"plain");
    log.Item(L"Label", L"value");
    log.Item2(L"Date", L"12/11/26", L"10:00:00");
    log.Number(L"Language", 4294967295ul);
    log.ItemNumber(L"File", L"a.txt", 42);
    log.Blank();
    log.ItemError(L"No error", 0);
    EXPECT_EQ(start
        + L"\tplain\r\n\tLabel:\tvalue\r\n\tDate:\t12/11/26, 10:00:00\r\n\tLanguage:\t4294967295\r\n"
          L"\tFile:\ta.txt, 42\r\n\t\r\n\tNo error\r\n",
        ReadLog(path));
}

TEST(Log, HeaderGivesDateClientAndSystem)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"header.txt";
    Log log;
    log.SetUp(path, false);
    const std::wstring start = ReadLog(path);
    log.Header(L"1.2.3.4", L"Windows XP");
    const std::wstring header = ReadLog(path).substr(start.size());
    // "\tDate:\tMM/DD/YY, HH:MM:SS\r\n"
    ASSERT_GE(header.size(), 30u);
    EXPECT_EQ(L"\tDate:\t", header.substr(0, 7));
    EXPECT_EQ(L'/', header[9]);
    EXPECT_EQ(L'/', header[12]);
    EXPECT_EQ(L", ", header.substr(15, 2));
    EXPECT_EQ(L':', header[19]);
    EXPECT_EQ(L':', header[22]);
    EXPECT_EQ(L"\r\n\tClient:\t1.2.3.4\r\n\tOS:\tWindows XP\r\n", header.substr(25));
}

TEST(Log, ReplacesThePreviousRunsLog)
{
    ScratchFolder folder;
    const std::wstring path = folder / L"replaced.txt";
    ASSERT_TRUE(TestSupport::WriteBytes(path, std::string(5000, 'x')));
    {
        Log log;
        log.SetUp(path, false);
    }
    const std::wstring text = ReadLog(path);
    EXPECT_EQ(std::wstring::npos, text.find(L'x'));
    EXPECT_EQ(L"\tEnd of recording\r\n", text.substr(text.size() - 19));
}

TEST(Log, DisabledLogNeitherCreatesNorTruncates)
{
    ScratchFolder folder;
    const std::wstring existing = folder / L"existing.txt";
    ASSERT_TRUE(TestSupport::WriteBytes(existing, "keep"));
    for (const std::wstring& path : {existing, folder / L"absent.txt"}) {
        Log log;
        log.SetUp(path, true);
        EXPECT_FALSE(log.IsOpen());
        log.Line(L"ignored");
    }
    EXPECT_EQ("keep", TestSupport::ReadBytes(existing));
    EXPECT_FALSE(TestSupport::Exists(folder / L"absent.txt"));
}

TEST(Log, SecondSetUpChangesNothing)
{
    ScratchFolder folder;
    Log log;
    log.SetUp(folder / L"one.txt", false);
    log.SetUp(folder / L"two.txt", false);
    EXPECT_TRUE(TestSupport::Exists(folder / L"one.txt"));
    EXPECT_FALSE(TestSupport::Exists(folder / L"two.txt"));
}

TEST(Log, UnopenableLogStaysSilent)
{
    ScratchFolder folder;
    ASSERT_TRUE(::CreateDirectoryW((folder / L"a folder").c_str(), nullptr));
    Log log;
    log.SetUp(folder / L"a folder", false);
    EXPECT_FALSE(log.IsOpen());
}

TEST(ErrorText, SystemTextWithoutItsLineBreak)
{
    const std::wstring text = Log::ErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L"Unknown error code"));
}

TEST(ErrorText, CodeWithoutSystemText)
{
    EXPECT_EQ(L"Unknown error code 2000abcd (43981)", Log::ErrorText(0x2000ABCD));
}

} // namespace
