#include "core/RunSettings.h"
#include "core/StatusFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace {

using TestSupport::ReadBytes;
using TestSupport::ScratchFolder;
using TestSupport::WriteBytes;

// The file a status file with only the two numbers is written as.
std::string Counted(int executions, int frequency)
{
    return "<Configuration>\r\n\t<NumExecutions>" + std::to_string(executions) + "</NumExecutions>\r\n"
           "\t<CheckFrequency>" + std::to_string(frequency) + "</CheckFrequency>\r\n</Configuration>\r\n";
}

class StatusFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        savedMode_ = g_runSettings.runMode;
        g_runSettings.runMode = Plain;
        path_ = folder_ / L"NorvaneStatus.xml";
    }

    void TearDown() override
    {
        g_runSettings.runMode = savedMode_;
        ::CoUninitialize();
    }

    // One start of the client: the file is read, and written when the object goes.
    bool Start(int frequency, int noReprompt = 0)
    {
        StatusFile status(path_, frequency, noReprompt);
        return status.ReadStatus();
    }

    ScratchFolder folder_;
    std::wstring path_;
    RunMode savedMode_ = Plain;
};

TEST_F(StatusFileTest, FirstStartWithoutFileChecksAndLeavesOneExecution)
{
    EXPECT_TRUE(Start(3));
    EXPECT_EQ(Counted(1, 3), ReadBytes(path_));
}

TEST_F(StatusFileTest, FrequencyThreeChecksOnEveryThirdStart)
{
    std::vector<bool> checks;
    std::vector<std::string> files;
    for (int start = 0; start < 7; ++start) {
        checks.push_back(Start(3));
        files.push_back(ReadBytes(path_));
    }
    EXPECT_EQ((std::vector<bool>{true, false, false, true, false, false, true}), checks);
    EXPECT_EQ((std::vector<std::string>{Counted(1, 3), Counted(2, 3), Counted(3, 3), Counted(1, 3), Counted(2, 3),
                                        Counted(3, 3), Counted(1, 3)}),
              files);
}

TEST_F(StatusFileTest, FrequencyZeroOrOneChecksOnEveryStart)
{
    for (int frequency : {0, 1}) {
        for (int start = 0; start < 3; ++start)
            EXPECT_TRUE(Start(frequency)) << frequency << " start " << start;
        EXPECT_EQ(Counted(1, frequency), ReadBytes(path_));
    }
}

TEST_F(StatusFileTest, FileCheckFrequencyIsNotReadBack)
{
    ASSERT_TRUE(WriteBytes(path_, Counted(3, 1)));
    EXPECT_FALSE(Start(5));
    EXPECT_EQ(Counted(4, 5), ReadBytes(path_));
}

TEST_F(StatusFileTest, MissingNumExecutionsCountsAsOne)
{
    ASSERT_TRUE(WriteBytes(path_, "<Configuration><ApplicationVersion>2.0</ApplicationVersion></Configuration>"));
    StatusFile status(path_, 3, 0);
    EXPECT_FALSE(status.ReadStatus());
    EXPECT_EQ(1, status.NumExecutions());
    EXPECT_EQ(L"2.0", status.CurrentVersion());
}

TEST_F(StatusFileTest, MissingElementsLeaveFieldsAsTheyWere)
{
    ASSERT_TRUE(WriteBytes(path_, "<Configuration><NumExecutions>1</NumExecutions></Configuration>"));
    StatusFile status(path_, 1, 0);
    status.SetCurrentVersion(L"9.9");
    status.proxyUser = L"kept";
    EXPECT_TRUE(status.ReadStatus());
    EXPECT_EQ(L"9.9", status.CurrentVersion());
    EXPECT_EQ(L"kept", status.proxyUser);
    EXPECT_EQ(L"", status.sitePassword);
}

TEST_F(StatusFileTest, WritesElementsInOrderLeavingEmptyOnesOut)
{
    StatusFile status(path_, 4, 1);
    status.SetCurrentVersion(L"1.2.3");
    status.proxyUser = L"pu";
    status.siteUser = L"su";
    status.sitePassword = L"sp";
    status.SetRemoteVersion(L"1.3");
    status.serverReached = 1;
    status.WriteStatus();
    EXPECT_EQ("<Configuration>\r\n"
              "\t<NumExecutions>1</NumExecutions>\r\n"
              "\t<CheckFrequency>4</CheckFrequency>\r\n"
              "\t<ApplicationVersion>1.2.3</ApplicationVersion>\r\n"
              "\t<PU>pu</PU>\r\n"
              "\t<SU>su</SU>\r\n"
              "\t<SP>sp</SP>\r\n"
              "\t<NoRepromptForVersion>1.3</NoRepromptForVersion>\r\n"
              "</Configuration>\r\n",
              ReadBytes(path_));
}

TEST_F(StatusFileTest, RoundTripKeepsEveryValue)
{
    {
        StatusFile status(path_, 2, 0);
        status.SetCurrentVersion(L"3.0.1");
        status.proxyUser = L"proxy user";
        status.proxyPassword = L"p<w>&\"d'";
        status.siteUser = L"site";
        status.sitePassword = L"secret";
        status.WriteStatus();
    }
    StatusFile status(path_, 2, 0);
    EXPECT_FALSE(status.ReadStatus());
    EXPECT_EQ(1, status.NumExecutions());
    EXPECT_EQ(L"3.0.1", status.CurrentVersion());
    EXPECT_EQ(L"proxy user", status.proxyUser);
    EXPECT_EQ(L"p<w>&\"d'", status.proxyPassword);
    EXPECT_EQ(L"site", status.siteUser);
    EXPECT_EQ(L"secret", status.sitePassword);
}

// A version or password with markup characters must not make the next start refuse the file.
TEST_F(StatusFileTest, MarkupCharactersAreWrittenEscaped)
{
    StatusFile status(path_, 1, 0);
    status.SetCurrentVersion(L"1.0 <beta> & more");
    status.WriteStatus();
    EXPECT_NE(std::string::npos,
              ReadBytes(path_).find("\t<ApplicationVersion>1.0 &lt;beta&gt; &amp; more</ApplicationVersion>\r\n"));
}

struct MalformedCase {
    const char* name;
    std::string bytes;
};

class MalformedStatusFile : public StatusFileTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedStatusFile, DoesNotCheckAndIsRewrittenWithOneExecution)
{
    ASSERT_TRUE(WriteBytes(path_, GetParam().bytes));
    {
        StatusFile status(path_, 1, 1);
        EXPECT_FALSE(status.ReadStatus()) << GetParam().name;
        EXPECT_EQ(L"", status.CurrentVersion()) << GetParam().name;
    }
    EXPECT_EQ(Counted(1, 1), ReadBytes(path_)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedStatusFile, ::testing::Values(
    MalformedCase{"unclosed root", "<Configuration>\r\n\t<NumExecutions>5</NumExecutions>\r\n\t<ApplicationVersion>2"},
    MalformedCase{"unescaped ampersand", "<Configuration><ApplicationVersion>a & b</ApplicationVersion></Configuration>"},
    MalformedCase{"not XML", "NumExecutions=5\r\n"},
    MalformedCase{"empty", ""},
    MalformedCase{"far too large", "<Configuration>" + std::string(100000, ' ') + "</Configuration>"}));

struct DeclinedCase {
    int32_t installStarted;
    int32_t serverReached;
    int32_t noRepromptDeclined;
    const wchar_t* remoteVersion;
    bool written;
};

class DeclinedVersion : public StatusFileTest, public ::testing::WithParamInterface<DeclinedCase> {};

TEST_P(DeclinedVersion, IsWrittenOnlyWhenOfferedAndTurnedDown)
{
    const DeclinedCase& c = GetParam();
    StatusFile status(path_, 1, c.noRepromptDeclined);
    status.installStarted = c.installStarted;
    status.serverReached = c.serverReached;
    status.SetRemoteVersion(c.remoteVersion);
    status.WriteStatus();
    const std::string line = "\t<NoRepromptForVersion>" + std::string(c.remoteVersion, c.remoteVersion +
        std::char_traits<wchar_t>::length(c.remoteVersion)) + "</NoRepromptForVersion>\r\n";
    const std::string expected = c.written ? "<Configuration>\r\n\t<NumExecutions>1</NumExecutions>\r\n"
        "\t<CheckFrequency>1</CheckFrequency>\r\n" + line + "</Configuration>\r\n" : Counted(1, 1);
    EXPECT_EQ(expected, ReadBytes(path_));
}

INSTANTIATE_TEST_SUITE_P(Flags, DeclinedVersion, ::testing::Values(
    DeclinedCase{0, 1, 1, L"1.3", true},
    DeclinedCase{1, 1, 1, L"1.3", false},
    DeclinedCase{0, 0, 1, L"1.3", false},
    DeclinedCase{0, 1, 0, L"1.3", false},
    DeclinedCase{0, 1, 2, L"1.3", false},
    DeclinedCase{0, 1, 1, L"", false}));

TEST_F(StatusFileTest, DeclinedVersionIsTakenForTheInstalledOne)
{
    ASSERT_TRUE(WriteBytes(path_, "<Configuration>\r\n\t<NumExecutions>1</NumExecutions>\r\n"
                                  "\t<ApplicationVersion>1.0</ApplicationVersion>\r\n"
                                  "\t<NoRepromptForVersion>1.3</NoRepromptForVersion>\r\n</Configuration>\r\n"));
    {
        StatusFile status(path_, 1, 1);
        EXPECT_TRUE(status.ReadStatus());
        EXPECT_EQ(L"1.3", status.CurrentVersion());
    }
    // No server answered in this start, so the declined version lives on only as the current one.
    EXPECT_EQ("<Configuration>\r\n\t<NumExecutions>1</NumExecutions>\r\n\t<CheckFrequency>1</CheckFrequency>\r\n"
              "\t<ApplicationVersion>1.3</ApplicationVersion>\r\n</Configuration>\r\n",
              ReadBytes(path_));
}

TEST_F(StatusFileTest, ValuesAreInTheSystemAnsiCodePage)
{
    if (::GetACP() != 1252)
        GTEST_SKIP() << "expectations are for code page 1252";
    {
        StatusFile status(path_, 1, 0);
        status.SetCurrentVersion(L"1.0 \u00e9\u20ac");
        status.WriteStatus();
    }
    EXPECT_NE(std::string::npos, ReadBytes(path_).find("<ApplicationVersion>1.0 \xe9\x80</ApplicationVersion>"));

    ASSERT_TRUE(WriteBytes(path_, "<Configuration><SU>Ren\xe9\x80</SU></Configuration>"));
    StatusFile status(path_, 1, 0);
    status.ReadStatus();
    EXPECT_EQ(L"Ren\u00e9\u20ac", status.siteUser);
}

TEST_F(StatusFileTest, TestRunNeitherReadsNorWrites)
{
    const std::string before = Counted(1, 3);
    ASSERT_TRUE(WriteBytes(path_, before));
    g_runSettings.runMode = RunMode::Test;
    EXPECT_TRUE(Start(3));
    EXPECT_EQ(before, ReadBytes(path_));

    ASSERT_TRUE(::DeleteFileW(path_.c_str()));
    EXPECT_TRUE(Start(3));
    EXPECT_FALSE(TestSupport::Exists(path_));
}

// The stored version and credentials would be lost by a process that writes without reading.
TEST_F(StatusFileTest, UnreadFileIsNotWrittenAtExit)
{
    const std::string before = "<Configuration><NumExecutions>2</NumExecutions>"
                               "<ApplicationVersion>5.0</ApplicationVersion></Configuration>";
    ASSERT_TRUE(WriteBytes(path_, before));
    {
        StatusFile status(path_, 3, 0);
    }
    EXPECT_EQ(before, ReadBytes(path_));
}

TEST_F(StatusFileTest, UncreatableFileIsSkippedSilently)
{
    ASSERT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr));
    StatusFile status(path_, 1, 0);
    status.WriteStatus();
    EXPECT_NE(0u, ::GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace
