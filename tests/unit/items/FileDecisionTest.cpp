#include "items/FileDecision.h"

#include "ItemsTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ItemsTest::ByDateText;
using ItemsTest::DosFileTime;
using ItemsTest::LogWatch;
using TestSupport::ScratchFolder;

// 2020-06-15 12:30:20 as a DOS date and time.
const WORD kDate = static_cast<WORD>(((2020 - 1980) << 9) | (6 << 5) | 15);
const WORD kTime = static_cast<WORD>((12 << 11) | (30 << 5) | (20 / 2));

// The check value of CRC-32 (ISO-HDLC).
const char kCrcContents[] = "123456789";
const wchar_t kContentsCrc[] = L"CBF43926";

bool Logged(const std::wstring& log, const std::wstring& line)
{
    return log.find(L"\t" + line + L"\r\n") != std::wstring::npos;
}

class FileDecisionTest : public ::testing::Test {
protected:
    FileDecisionTest()
    {
        localFile_ = folder_ / L"local.dat";
        downloadFolder_ = folder_ / L"download";
        ::CreateDirectoryW(downloadFolder_.c_str(), nullptr);
        TestSupport::WriteBytes(localFile_, kCrcContents);
        ItemsTest::SetLastWriteTime(localFile_, DosFileTime(kDate, kTime));
    }

    BOOL Decide(const std::wstring& localPath, LONG size, const std::wstring& byVersion,
                const std::wstring& byDate, const std::wstring& crc)
    {
        entry_ = FileEntry();
        entry_.localPath = localPath;
        return DecideFile(entry_, L"UpdateFile1", size, byVersion, byDate, crc, downloadFolder_);
    }

    ScratchFolder folder_;
    std::wstring localFile_;
    std::wstring downloadFolder_;
    FileEntry entry_;
};

TEST_F(FileDecisionTest, ZeroSizeIsNeverDownloadedWhateverTheTests)
{
    LogWatch watch;
    EXPECT_FALSE(Decide(folder_ / L"absent.dat", 0, L"9.9", ByDateText(kDate, kTime), L"1"));
    EXPECT_FALSE(entry_.download);
    const std::wstring log = watch.Added();
    EXPECT_TRUE(Logged(log, L"Checking file:\t" + folder_ / L"absent.dat")) << log;
    EXPECT_TRUE(Logged(log, L"Zero byte file will not be retrieved:\t" + folder_ / L"absent.dat")) << log;
}

TEST_F(FileDecisionTest, WithoutTestsTheFileIsAdded)
{
    LogWatch watch;
    EXPECT_TRUE(Decide(localFile_, 9, L"", L"", L""));
    EXPECT_TRUE(entry_.download);
    EXPECT_FALSE(entry_.alreadyDownloaded);
    EXPECT_TRUE(Logged(watch.Added(), L"File added")) << watch.Added();
}

TEST_F(FileDecisionTest, AMissingLocalFileIsAddedWithoutRunningTests)
{
    LogWatch watch;
    EXPECT_TRUE(Decide(folder_ / L"absent.dat", 9, L"1.0", L"", kContentsCrc));
    const std::wstring log = watch.Added();
    EXPECT_TRUE(Logged(log, L"File added - not on user system.")) << log;
    EXPECT_EQ(std::wstring::npos, log.find(L"Compare versions")) << log;
}

struct DateCase {
    const char* name;
    WORD date;
    WORD time;
    bool download;
    const wchar_t* line;
};

class DateDecisionTest : public FileDecisionTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(DateDecisionTest, ComparesTheServerStampWithTheLocalLastWriteTime)
{
    const DateCase& c = GetParam();
    LogWatch watch;
    EXPECT_EQ(c.download ? TRUE : FALSE, Decide(localFile_, 9, L"", ByDateText(c.date, c.time), L""));
    EXPECT_TRUE(Logged(watch.Added(), c.line)) << watch.Added();
}

const wchar_t kNewer[] = L"File added - Timestamp is more recent at the server.";
const wchar_t kOlder[] = L"File not added - Timestamp is older at the server.";

INSTANTIATE_TEST_SUITE_P(Stamps, DateDecisionTest, ::testing::Values(
    DateCase{"Equal", kDate, kTime, false, kOlder},
    DateCase{"TwoSecondsLater", kDate, static_cast<WORD>(kTime + 1), true, kNewer},
    DateCase{"TwoSecondsEarlier", kDate, static_cast<WORD>(kTime - 1), false, kOlder},
    DateCase{"NextDay", static_cast<WORD>(kDate + 1), kTime, true, kNewer},
    DateCase{"YearEarlier", static_cast<WORD>(kDate - (1 << 9)), kTime, false, kOlder}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST_F(FileDecisionTest, AnUnusableServerStampFetchesTheFile)
{
    for (const wchar_t* byDate : {L"zz", L"123456789ABCDEF0", L"00000000"}) {
        LogWatch watch;
        EXPECT_TRUE(Decide(localFile_, 9, L"", byDate, L"")) << byDate;
        EXPECT_TRUE(Logged(watch.Added(), L"File time-stamp not readable -- download new version.")) << byDate;
    }
}

struct CrcCase {
    const char* name;
    const wchar_t* crc;
    bool download;
    const wchar_t* line;
};

class CrcDecisionTest : public FileDecisionTest, public ::testing::WithParamInterface<CrcCase> {};

TEST_P(CrcDecisionTest, ComparesTheServerCrcWithTheLocalFile)
{
    const CrcCase& c = GetParam();
    LogWatch watch;
    EXPECT_EQ(c.download ? TRUE : FALSE, Decide(localFile_, 9, L"", L"", c.crc));
    EXPECT_TRUE(Logged(watch.Added(), c.line)) << watch.Added();
}

const wchar_t kCrcMatches[] = L"Client file CRC matches server. File will not be downloaded.";

INSTANTIATE_TEST_SUITE_P(Values, CrcDecisionTest, ::testing::Values(
    CrcCase{"Equal", L"CBF43926", false, kCrcMatches},
    CrcCase{"EqualLowerCase", L"cbf43926", false, kCrcMatches},
    CrcCase{"Different", L"CBF43927", true, L"File added"},
    CrcCase{"NotHexReadsAsZero", L"xyz", true, L"File added"}),
    [](const ::testing::TestParamInfo<CrcCase>& info) { return std::string(info.param.name); });

TEST_F(FileDecisionTest, AFolderAtTheLocalPathGivesNoCrcVote)
{
    const std::wstring folder = folder_ / L"folder";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    LogWatch watch;
    EXPECT_FALSE(Decide(folder, 9, L"", L"", L"12345678"));
    EXPECT_EQ(std::wstring::npos, watch.Added().find(L"CRC")) << watch.Added();
}

struct VersionCase {
    const char* name;
    const wchar_t* byVersion;
    bool download;
    const wchar_t* line;
};

class VersionDecisionTest : public FileDecisionTest, public ::testing::WithParamInterface<VersionCase> {};

// The client built with this tree carries version 1.0.0.1.
TEST_P(VersionDecisionTest, ComparesWithTheLocalFileVersion)
{
    const VersionCase& c = GetParam();
    LogWatch watch;
    EXPECT_EQ(c.download ? TRUE : FALSE, Decide(ItemsTest::FixtureProgram(L"norvaneclient.exe"), 9, c.byVersion, L"", L""));
    EXPECT_TRUE(Logged(watch.Added(), c.line)) << watch.Added();
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionDecisionTest, ::testing::Values(
    VersionCase{"Newer", L"1.0.0.2", true, L"Compare versions: 1.0.0.2, 1.0.0.1 - File added, server version newer."},
    VersionCase{"NewerByNumberNotText", L"1.0.0.10", true,
                L"Compare versions: 1.0.0.10, 1.0.0.1 - File added, server version newer."},
    VersionCase{"Equal", L"1.0.0.1", false, L"Compare versions: 1.0.0.1, 1.0.0.1 - File not added, client version newer."},
    VersionCase{"Older", L"1.0", false, L"Compare versions: 1.0, 1.0.0.1 - File not added, client version newer."},
    VersionCase{"FiveParts", L"1.2.3.4.5", false,
                L"Compare versions: 1.2.3.4.5, 1.0.0.1 - File not added, client version newer."}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST_F(FileDecisionTest, AFileWithoutVersionIsNotAddedByVersion)
{
    LogWatch watch;
    EXPECT_FALSE(Decide(ItemsTest::FixtureProgram(L"ArgsRecorder.exe"), 9, L"2.0", L"", L""));
    EXPECT_TRUE(Logged(watch.Added(), L"Compare versions: 2.0,  - File not added, client version newer."))
        << watch.Added();
}

TEST_F(FileDecisionTest, EveryTestRunsAndOneVoteIsEnough)
{
    const std::wstring program = folder_ / L"client.exe";
    ASSERT_TRUE(::CopyFileW(ItemsTest::FixtureProgram(L"norvaneclient.exe").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(ItemsTest::SetLastWriteTime(program, DosFileTime(kDate, kTime)));
    LogWatch watch;
    EXPECT_TRUE(Decide(program, 9, L"1.0.0.1", ByDateText(kDate, static_cast<WORD>(kTime + 1)), L"00000000"));
    const std::wstring log = watch.Added();
    EXPECT_TRUE(Logged(log, L"Compare versions: 1.0.0.1, 1.0.0.1 - File not added, client version newer.")) << log;
    EXPECT_TRUE(Logged(log, kNewer)) << log;
    EXPECT_TRUE(Logged(log, L"File added")) << log;
    EXPECT_LT(log.find(L"Compare versions"), log.find(kNewer));
}

TEST_F(FileDecisionTest, NoVoteMeansNoDownload)
{
    LogWatch watch;
    EXPECT_FALSE(Decide(localFile_, 9, L"", ByDateText(kDate, kTime), kContentsCrc));
    EXPECT_FALSE(entry_.download);
    EXPECT_EQ(std::wstring::npos, watch.Added().find(L"File already downloaded"));
}

struct TemporaryCase {
    const char* name;
    const char* contents;
    LONG size;
    bool already;
};

class TemporaryFileTest : public FileDecisionTest, public ::testing::WithParamInterface<TemporaryCase> {};

TEST_P(TemporaryFileTest, AnEarlierCompleteDownloadIsNoticed)
{
    const TemporaryCase& c = GetParam();
    TestSupport::WriteBytes(downloadFolder_ + L"\\UpdateFile1", c.contents);
    LogWatch watch;
    EXPECT_TRUE(Decide(localFile_, c.size, L"", L"", L""));
    EXPECT_EQ(c.already ? TRUE : FALSE, entry_.alreadyDownloaded);
    EXPECT_EQ(c.already, Logged(watch.Added(), L"File already downloaded")) << watch.Added();
}

INSTANTIATE_TEST_SUITE_P(Sizes, TemporaryFileTest, ::testing::Values(
    TemporaryCase{"RightSize", "0123456789", 10, true},
    TemporaryCase{"Shorter", "012345678", 10, false},
    TemporaryCase{"Longer", "0123456789A", 10, false}),
    [](const ::testing::TestParamInfo<TemporaryCase>& info) { return std::string(info.param.name); });

} // namespace
