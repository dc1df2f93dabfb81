#include "core/ConfigRecord.h"
#include "core/ProcessCloser.h"
#include "core/RunSettings.h"
#include "common/FixedText.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// A fixture program started for one test and never left running after it.
class ChildProgram {
public:
    ChildProgram(const std::wstring& name, const std::wstring& arguments)
    {
        std::wstring commandLine = L"\"" + TestSupport::ProgramFolder() + name + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            ::CloseHandle(info.hThread);
            process_.Reset(info.hProcess);
            id_ = info.dwProcessId;
            ::WaitForInputIdle(info.hProcess, 5000);
        }
    }
    ~ChildProgram()
    {
        if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT)
            ::TerminateProcess(process_.Get(), 99);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool Started() const { return process_.Valid(); }
    DWORD Id() const { return id_; }
    bool EndsWithin(DWORD ms) const { return ::WaitForSingleObject(process_.Get(), ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() const { DWORD code = 0; ::GetExitCodeProcess(process_.Get(), &code); return code; }

private:
    Common::UniqueHandle process_;
    DWORD id_ = 0;
};

// Wine may report a new process idle before its first window exists.
bool WaitForSampleWindow()
{
    for (int i = 0; i < 200; ++i) {
        if (::FindWindowW(L"NorvaneSampleApp", nullptr))
            return true;
        ::Sleep(50);
    }
    return false;
}

class LongLivedSample {
public:
    LongLivedSample() { ::SetEnvironmentVariableW(L"NORVANE_SAMPLE_LIFETIME_MS", L"60000"); }
    ~LongLivedSample() { ::SetEnvironmentVariableW(L"NORVANE_SAMPLE_LIFETIME_MS", nullptr); }
};

class ProcessCloserPaths : public ::testing::TestWithParam<ProcessCloser::Enumeration> {};

TEST_P(ProcessCloserPaths, FindsARunningProgramByNameIgnoringCase)
{
    ChildProgram holder(L"MutexHolder.exe", L"60000");
    ASSERT_TRUE(holder.Started());
    ProcessCloser closer(GetParam());
    EXPECT_EQ(GetParam() == ProcessCloser::Enumeration::Automatic, closer.UsesSnapshot());

    DWORD id = 0;
    Common::UniqueHandle found = closer.FindProcess(L"mutexHOLDER.exe", id);
    ASSERT_TRUE(found);
    EXPECT_EQ(holder.Id(), id);

    // The process already named is skipped.
    Common::UniqueHandle again = closer.FindProcess(L"MutexHolder.exe", id);
    EXPECT_FALSE(again);

    DWORD none = 0;
    EXPECT_FALSE(closer.FindProcess(L"NoSuchProgram.exe", none));
}

INSTANTIATE_TEST_SUITE_P(Enumerations, ProcessCloserPaths,
    ::testing::Values(ProcessCloser::Enumeration::Automatic, ProcessCloser::Enumeration::SystemInformation));

TEST(ProcessCloser, AsksTheWindowsToClose)
{
    const std::wstring marker = TestSupport::ProgramFolder() + L"SampleApp.closed";
    ::DeleteFileW(marker.c_str());
    LongLivedSample lifetime;
    ChildProgram sample(L"SampleApp.exe", L"");
    ASSERT_TRUE(sample.Started());
    ASSERT_TRUE(WaitForSampleWindow());

    ProcessCloser closer;
    EXPECT_TRUE(closer.CloseProcess(L"SampleApp.exe", false, 0, 30000));
    EXPECT_TRUE(sample.EndsWithin(0));
    EXPECT_TRUE(TestSupport::Exists(marker)) << "the program was terminated, not closed";
    ::DeleteFileW(marker.c_str());
}

TEST(ProcessCloser, TerminatesAProgramThatDoesNotClose)
{
    ChildProgram holder(L"MutexHolder.exe", L"60000");
    ASSERT_TRUE(holder.Started());
    ProcessCloser closer;
    EXPECT_TRUE(closer.CloseProcess(L"MutexHolder.exe", false, 0, 300));
    EXPECT_TRUE(holder.EndsWithin(5000));
    EXPECT_EQ(0u, holder.ExitCode());
}

TEST(ProcessCloser, LeavesTheExcludedProcessAlone)
{
    ChildProgram holder(L"MutexHolder.exe", L"60000");
    ASSERT_TRUE(holder.Started());
    ProcessCloser closer;
    EXPECT_FALSE(closer.CloseProcess(L"MutexHolder.exe", false, holder.Id(), 300));
    EXPECT_FALSE(holder.EndsWithin(300));
    EXPECT_FALSE(closer.CloseProcess(L"NoSuchProgram.exe", false, 0, 300));
}

TEST(RunSettingsLaunch, StartsTheMainApplicationWithTheCommandLine)
{
    const std::wstring args = TestSupport::ProgramFolder() + L"SampleApp.args";
    ::DeleteFileW(args.c_str());
    ConfigRecord saved = g_configRecord;
    Common::StoreFieldText(g_configRecord.mainApplication, L"SampleApp.exe");
    LongLivedSample lifetime;

    RunSettings settings;
    settings.Parse(L"--opt \"a b\"", SW_SHOWNORMAL);
    Common::UniqueHandle process = settings.LaunchMainApplication();
    g_configRecord = saved;
    ASSERT_TRUE(process);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(process.Get(), 0));
    EXPECT_EQ("--opt \"a b\"", TestSupport::ReadBytes(args));

    ASSERT_TRUE(WaitForSampleWindow());
    ProcessCloser closer;
    EXPECT_TRUE(closer.CloseProcess(L"SampleApp.exe", false, 0, 10000));
    ::DeleteFileW(args.c_str());
    ::DeleteFileW((TestSupport::ProgramFolder() + L"SampleApp.closed").c_str());
}

} // namespace
