#include "items/DownloadExecute.h"

#include "ItemsTestSupport.h"
#include "common/ModulePath.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using ItemsTest::Escaped;
using ItemsTest::LogWatch;
using TestSupport::ScratchFolder;

bool Logged(const std::wstring& log, const std::wstring& line)
{
    return log.find(L"\t" + line + L"\r\n") != std::wstring::npos;
}

struct SplitCase {
    const wchar_t* command;
    const wchar_t* program;
    const wchar_t* parameters;
};

class CommandSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandSplitTest, QuotedParametersFollowTheProgramAndABlank)
{
    std::wstring program;
    std::wstring parameters;
    DownloadExecute::SplitCommand(GetParam().command, program, parameters);
    EXPECT_EQ(GetParam().program, program);
    EXPECT_EQ(GetParam().parameters, parameters);
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandSplitTest, ::testing::Values(
    SplitCase{L"C:\\a b\\setup.exe '/silent /norestart'", L"C:\\a b\\setup.exe", L"/silent /norestart"},
    SplitCase{L"C:\\setup.exe", L"C:\\setup.exe", L""},
    SplitCase{L"C:\\it's\\setup.exe", L"C:\\it's\\setup.exe", L""},
    SplitCase{L"C:\\setup.exe ''", L"C:\\setup.exe", L""},
    SplitCase{L"C:\\setup.exe 'a' 'b'", L"C:\\setup.exe", L"a"},
    SplitCase{L"'/x'", L"", L"/x"},
    SplitCase{L"", L"", L""}));

// Starts copies of the argument recorder in a scratch folder and reads what they recorded.
class ExecuteTest : public ::testing::Test {
protected:
    ExecuteTest() : program_(folder_ / L"Recorder.exe") {}

    void InstallRecorder(const std::wstring& path) const
    {
        ASSERT_TRUE(::CopyFileW(ItemsTest::FixtureProgram(L"ArgsRecorder.exe").c_str(), path.c_str(), FALSE));
    }

    void Parse(const std::wstring& inner)
    {
        Common::ComPtr<IXMLDOMDocument> document;
        const Common::ComPtr<IXMLDOMNode> element =
            ItemsTest::ParseElement(L"<Norvane><Execute>" + inner + L"</Execute></Norvane>", L"Norvane/Execute", document);
        ASSERT_TRUE(element);
        ASSERT_TRUE(executions_.ParseSection(element.Get(), std::wstring()));
    }

    std::wstring Entry(const std::wstring& command, bool wait) const
    {
        return L"<Execute Name=\"" + Escaped(command) + L"\"" + (wait ? L" WaitForProcess=\"true\"" : L"") + L"/>";
    }

    // The command lines the recorder at `path` was started with, in the order of its runs.
    static std::vector<std::wstring> Recorded(const std::wstring& path)
    {
        const std::string bytes = TestSupport::ReadBytes(path + L".args");
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        std::vector<std::wstring> lines;
        for (std::wstring::size_type start = 0; start < text.size();) {
            const std::wstring::size_type end = text.find(L"\r\n", start);
            if (end == std::wstring::npos)
                break;
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // A program started without waiting still has to finish before its folder goes.
    static bool AwaitRecord(const std::wstring& path, std::size_t runs)
    {
        for (int i = 0; i < 100; ++i) {
            if (Recorded(path).size() >= runs)
                return true;
            ::Sleep(50);
        }
        return false;
    }

    static bool EndsWith(const std::wstring& text, const std::wstring& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    ItemsTest::ComApartment apartment_;
    ScratchFolder folder_;
    std::wstring program_;
    DownloadExecute executions_;
};

TEST_F(ExecuteTest, QuotedParametersReachTheProgram)
{
    InstallRecorder(program_);
    Parse(L"<RunAt Name=\"OnWelcomeScreen\">" + Entry(program_ + L" '/silent /norestart'", true) + L"</RunAt>");
    LogWatch watch;
    EXPECT_TRUE(executions_.ProcessItems(L"OnWelcomeScreen"));
    const std::vector<std::wstring> runs = Recorded(program_);
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(EndsWith(runs[0], L" /silent /norestart")) << runs[0];
    EXPECT_NE(std::wstring::npos, runs[0].find(L"Recorder.exe")) << runs[0];
    EXPECT_TRUE(Logged(watch.Added(), L"Execute file: " + program_ + L" OnWelcomeScreen")) << watch.Added();
    EXPECT_TRUE(Logged(watch.Added(), L"Waiting for process to finish")) << watch.Added();
}

TEST_F(ExecuteTest, AProgramThatAppearsLateIsFoundOnTheRetry)
{
    Parse(L"<RunAt Name=\"OnUpdateFilesReadyScreen\">" + Entry(program_ + L" 'late'", true) + L"</RunAt>");
    std::thread writer([this] {
        ::Sleep(700);
        InstallRecorder(program_);
    });
    LogWatch watch;
    EXPECT_TRUE(executions_.ProcessItems(L"OnUpdateFilesReadyScreen"));
    writer.join();
    ASSERT_EQ(1u, Recorded(program_).size());
    const std::wstring log = watch.Added();
    const std::wstring delay = L"\tDelay: Exe missing:\t" + program_ + L"\r\n";
    const std::wstring::size_type first = log.find(delay);
    ASSERT_NE(std::wstring::npos, first) << log;
    EXPECT_NE(std::wstring::npos, log.find(delay, first + 1)) << log;
    EXPECT_FALSE(Logged(log, L"Error: Exe missing:\t" + program_)) << log;
}

TEST_F(ExecuteTest, AProgramThatNeverAppearsIsLoggedAndSkipped)
{
    const std::wstring second = folder_ / L"Second.exe";
    InstallRecorder(second);
    Parse(L"<RunAt Name=\"OnWelcomeScreen\">" + Entry(program_, true) + Entry(second, true) + L"</RunAt>");
    LogWatch watch;
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(executions_.ProcessItems(L"OnWelcomeScreen"));
    EXPECT_GE(::GetTickCount() - start, 950u);
    EXPECT_TRUE(Logged(watch.Added(), L"Error: Exe missing:\t" + program_)) << watch.Added();
    EXPECT_EQ(1u, Recorded(second).size());
}

TEST_F(ExecuteTest, EntriesOfAPhaseRunInDocumentOrder)
{
    InstallRecorder(program_);
    Parse(L"<RunAt Name=\"OnFilesDownloadingScreen\">" + Entry(program_ + L" 'first'", true) + L"</RunAt>"
          L"<RunAt Name=\"OnWelcomeScreen\">" + Entry(program_ + L" 'other'", true) + L"</RunAt>"
          L"<RunAt Name=\"OnFilesDownloadingScreen\">" + Entry(program_ + L" 'second'", true) +
          Entry(program_ + L" 'third'", true) + L"</RunAt>");
    EXPECT_TRUE(executions_.ProcessItems(L"OnFilesDownloadingScreen"));
    const std::vector<std::wstring> runs = Recorded(program_);
    ASSERT_EQ(3u, runs.size());
    EXPECT_TRUE(EndsWith(runs[0], L" first")) << runs[0];
    EXPECT_TRUE(EndsWith(runs[1], L" second")) << runs[1];
    EXPECT_TRUE(EndsWith(runs[2], L" third")) << runs[2];
}

TEST_F(ExecuteTest, AnotherPhaseDoesNotRunTheEntry)
{
    InstallRecorder(program_);
    Parse(L"<RunAt Name=\"OnWelcomeScreen\">" + Entry(program_, true) + L"</RunAt>");
    LogWatch watch;
    EXPECT_TRUE(executions_.ProcessItems(L"OnLicenseAgreementScreen"));
    EXPECT_TRUE(executions_.ProcessItems(L"onwelcomescreen"));
    EXPECT_TRUE(Recorded(program_).empty());
    EXPECT_EQ(std::wstring::npos, watch.Added().find(L"Execute file")) << watch.Added();
}

TEST_F(ExecuteTest, AnEntryOutsideRunAtNeverRuns)
{
    InstallRecorder(program_);
    Parse(Entry(program_, true));
    ASSERT_EQ(1u, executions_.Entries().size());
    EXPECT_EQ(L"", executions_.Entries()[0].phase);
    for (const wchar_t* phase : {L"", L"OnWelcomeScreen", L"OnUpdateProcessComplete"})
        EXPECT_TRUE(executions_.ProcessItems(phase));
    EXPECT_TRUE(Recorded(program_).empty());
}

TEST_F(ExecuteTest, ARunAtWithoutNameIsPassedOver)
{
    LogWatch watch;
    Parse(L"<RunAt>" + Entry(program_, false) + L"</RunAt><RunAt Name=\"\">" + Entry(program_, false) + L"</RunAt>");
    EXPECT_TRUE(executions_.Entries().empty());
    EXPECT_EQ(L"\tPhase not found for an execution item. Item ignored.\r\n"
              L"\tPhase not found for an execution item. Item ignored.\r\n",
              watch.Added());
}

TEST_F(ExecuteTest, WaitForProcessWaitsForTheProgramToEnd)
{
    InstallRecorder(program_);
    Parse(L"<RunAt Name=\"OnUpdateProcessComplete\">" + Entry(program_ + L" '/sleep:1500'", true) + L"</RunAt>");
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(executions_.ProcessItems(L"OnUpdateProcessComplete"));
    EXPECT_GE(::GetTickCount() - start, 1400u);
    EXPECT_EQ(1u, Recorded(program_).size());
}

TEST_F(ExecuteTest, WithoutWaitForProcessThePhaseGoesOn)
{
    InstallRecorder(program_);
    Parse(L"<RunAt Name=\"OnUpdateProcessComplete\">" + Entry(program_ + L" '/sleep:1500'", false) + L"</RunAt>");
    LogWatch watch;
    EXPECT_TRUE(executions_.ProcessItems(L"OnUpdateProcessComplete"));
    EXPECT_TRUE(Recorded(program_).empty());
    EXPECT_FALSE(Logged(watch.Added(), L"Waiting for process to finish"));
    EXPECT_TRUE(AwaitRecord(program_, 1));
}

TEST_F(ExecuteTest, AProgramPathMayBeginWithADirectoryTag)
{
    const std::wstring beside = Common::ModuleFolder() + L"ArgsRecorder.exe";
    ::DeleteFileW((beside + L".args").c_str());
    Parse(L"<RunAt Name=\"OnWelcomeScreen\">" + Entry(L"<ApplicationDir>ArgsRecorder.exe 'tagged'", true) + L"</RunAt>");
    LogWatch watch;
    EXPECT_TRUE(executions_.ProcessItems(L"OnWelcomeScreen"));
    const std::vector<std::wstring> runs = Recorded(beside);
    ::DeleteFileW((beside + L".args").c_str());
    ASSERT_EQ(1u, runs.size());
    EXPECT_TRUE(EndsWith(runs[0], L" tagged")) << runs[0];
    EXPECT_TRUE(Logged(watch.Added(), L"Execute file: " + beside + L" OnWelcomeScreen")) << watch.Added();
}

} // namespace
