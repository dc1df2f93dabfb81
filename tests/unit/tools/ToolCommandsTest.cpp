#include "ClientImage.h"
#include "ConfigTestText.h"
#include "RecordText.h"
#include "ResourceUpdate.h"
#include "ToolCommands.h"
#include "Utf8Text.h"
#include "common/FixedText.h"
#include "common/ModulePath.h"
#include "common/UniqueHandle.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using NorvaneTool::RunTool;
using NorvaneTool::ToolOutcome;

namespace {

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"norvanetool-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter_) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }

    ~ScratchFolder()
    {
        for (const std::wstring& name : Names()) {
            ::SetFileAttributesW((path_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW((path_ + name).c_str());
        }
        ::RemoveDirectoryW(path_.c_str());
    }

    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

    std::vector<std::wstring> Names() const { return TestSupport::FolderNames(path_); }

private:
    static int counter_;
    std::wstring path_;
};

int ScratchFolder::counter_ = 0;

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    Common::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::string ReadBytes(const std::wstring& path)
{
    Common::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes(4096, '\0');
    DWORD read = 0;
    if (!file || !::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return std::string();
    bytes.resize(read);
    return bytes;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

std::vector<WORD> RecordLanguages(const std::wstring& path)
{
    std::vector<WORD> languages;
    Common::UniqueLibrary module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (module)
        ::EnumResourceLanguagesW(module.Get(), L"BINARY", MAKEINTRESOURCEW(99), CollectLanguage,
                                 reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// This test program is a Windows executable without a record: a base client in miniature.
std::wstring ProgramWithoutRecord()
{
    return Common::ModulePath();
}

TEST(ToolCommands, NoArgumentsIsAUsageError)
{
    const ToolOutcome outcome = RunTool({});
    EXPECT_EQ(2, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"usage: norvanetool make-client <config> <base client.exe> <output.exe>"));
    EXPECT_TRUE(outcome.output.empty());
}

class UsageError : public testing::TestWithParam<std::vector<std::wstring>> {};

TEST_P(UsageError, ExitsWithTwo)
{
    const ToolOutcome outcome = RunTool(GetParam());
    EXPECT_EQ(2, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"usage: "));
}

INSTANTIATE_TEST_SUITE_P(ToolCommands, UsageError,
                         testing::Values(std::vector<std::wstring>{L"frobnicate"},
                                         std::vector<std::wstring>{L"make-client", L"a.cfg", L"base.exe"},
                                         std::vector<std::wstring>{L"make-client", L"a", L"b", L"c", L"d"},
                                         std::vector<std::wstring>{L"show-record"},
                                         std::vector<std::wstring>{L"show-record", L"a.exe", L"b.exe"},
                                         std::vector<std::wstring>{L"Show-Record", L"a.exe"},
                                         std::vector<std::wstring>{L"help", L"make-client"}));

TEST(ToolCommands, HelpGoesToStandardOutput)
{
    const ToolOutcome outcome = RunTool({L"--help"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ(0u, outcome.output.find(L"usage: "));
    EXPECT_TRUE(outcome.errors.empty());
}

TEST(ToolCommands, MissingConfigurationIsAnError)
{
    ScratchFolder folder;
    const ToolOutcome outcome =
        RunTool({L"make-client", folder / L"none.cfg", ProgramWithoutRecord(), folder / L"out.exe"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"norvanetool: cannot open '" + (folder / L"none.cfg") + L"': "));
    EXPECT_FALSE(Exists(folder / L"out.exe"));
}

TEST(ToolCommands, RefusedConfigurationWritesNothing)
{
    ScratchFolder folder;
    WriteBytes(folder / L"long.cfg", "mainApplication = " + std::string(50, 'x') + "\r\n");
    const ToolOutcome outcome =
        RunTool({L"make-client", folder / L"long.cfg", ProgramWithoutRecord(), folder / L"out.exe"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(L"norvanetool: line 1: field 'mainApplication' is longer than its 49 characters\r\n", outcome.errors);
    EXPECT_EQ(std::vector<std::wstring>{L"long.cfg"}, folder.Names());
}

TEST(ToolCommands, BaseThatIsNoProgramWritesNothing)
{
    ScratchFolder folder;
    WriteBytes(folder / L"a.cfg", ToolTest::SampleConfig());
    const ToolOutcome outcome = RunTool({L"make-client", folder / L"a.cfg", folder / L"a.cfg", folder / L"out.exe"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"norvanetool: cannot open '" + (folder / L"a.cfg") + L"' as a program: "));
    EXPECT_EQ(std::vector<std::wstring>{L"a.cfg"}, folder.Names());
}

TEST(ToolCommands, FailureLeavesAnExistingOutputAlone)
{
    ScratchFolder folder;
    WriteBytes(folder / L"a.cfg", ToolTest::SampleConfig());
    WriteBytes(folder / L"out.exe", "previous");
    const ToolOutcome outcome =
        RunTool({L"make-client", folder / L"a.cfg", folder / L"missing.exe", folder / L"out.exe"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("previous", ReadBytes(folder / L"out.exe"));
    EXPECT_EQ(2u, folder.Names().size());
}

TEST(ToolCommands, MissingOutputFolderIsAnError)
{
    ScratchFolder folder;
    WriteBytes(folder / L"a.cfg", ToolTest::SampleConfig());
    const ToolOutcome outcome =
        RunTool({L"make-client", folder / L"a.cfg", ProgramWithoutRecord(), folder / L"no\\such\\out.exe"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"norvanetool: cannot create a file in '"));
}

TEST(ToolCommands, MadeClientShowsTheConfiguredRecord)
{
    ScratchFolder folder;
    WriteBytes(folder / L"a.cfg", ToolTest::SampleConfig());
    const ToolOutcome made = RunTool({L"make-client", folder / L"a.cfg", ProgramWithoutRecord(), folder / L"out.exe"});
    ASSERT_EQ(0, made.exitCode) << made.errors;
    EXPECT_TRUE(made.output.empty());
    EXPECT_TRUE(made.errors.empty());

    const ToolOutcome shown = RunTool({L"show-record", folder / L"out.exe"});
    ASSERT_EQ(0, shown.exitCode) << shown.errors;
    const ConfigRecord expected = NorvaneTool::ParseConfigText(ToolTest::SampleConfig());
    EXPECT_TRUE(ToolTest::SameBytes(expected, NorvaneTool::ParseConfigText(NorvaneTool::WideToUtf8(shown.output))));
    EXPECT_EQ(std::vector<WORD>{NorvaneTool::ClientImage::kDefaultRecordLanguage}, RecordLanguages(folder / L"out.exe"));
    EXPECT_EQ(std::vector<std::wstring>({L"a.cfg", L"out.exe"}), folder.Names());
}

TEST(ToolCommands, RecordIsReplacedInTheBaseLanguage)
{
    ScratchFolder folder;
    ASSERT_TRUE(::CopyFileW(ProgramWithoutRecord().c_str(), (folder / L"base.exe").c_str(), FALSE));
    {
        NorvaneTool::ResourceUpdate update(folder / L"base.exe");
        update.Replace(L"BINARY", MAKEINTRESOURCEW(99), 0x0407, NorvaneTool::RecordResourceData(ConfigRecord{}));
        update.Commit();
    }
    WriteBytes(folder / L"a.cfg", ToolTest::SampleConfig());
    ASSERT_EQ(0, RunTool({L"make-client", folder / L"a.cfg", folder / L"base.exe", folder / L"out.exe"}).exitCode);
    EXPECT_EQ(std::vector<WORD>{0x0407}, RecordLanguages(folder / L"out.exe"));
    std::string data;
    ASSERT_TRUE(NorvaneTool::ClientImage(folder / L"out.exe").RecordData(data));
    EXPECT_EQ(NorvaneTool::RecordResourceData(NorvaneTool::ParseConfigText(ToolTest::SampleConfig())), data);
}

TEST(ToolCommands, ClientCanBeConfiguredInPlace)
{
    ScratchFolder folder;
    ASSERT_TRUE(::CopyFileW(ProgramWithoutRecord().c_str(), (folder / L"client.exe").c_str(), FALSE));
    WriteBytes(folder / L"a.cfg", "companyName = Norvane\n");
    ASSERT_EQ(0, RunTool({L"make-client", folder / L"a.cfg", folder / L"client.exe", folder / L"client.exe"}).exitCode);
    const ToolOutcome shown = RunTool({L"show-record", folder / L"client.exe"});
    EXPECT_NE(std::wstring::npos, shown.output.find(L"\r\ncompanyName = Norvane\r\n"));
    EXPECT_EQ(std::vector<std::wstring>({L"a.cfg", L"client.exe"}), folder.Names());
}

TEST(ToolCommands, ShowRecordOfAProgramWithoutOne)
{
    const ToolOutcome outcome = RunTool({L"show-record", ProgramWithoutRecord()});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(L"norvanetool: '" + ProgramWithoutRecord() + L"' carries no configuration record (resource BINARY/99)\r\n",
              outcome.errors);
}

// A copy of this test program carrying `data` as its record.
std::wstring ProgramWithRecord(const ScratchFolder& folder, const std::string& data)
{
    const std::wstring path = folder / L"client.exe";
    if (!::CopyFileW(ProgramWithoutRecord().c_str(), path.c_str(), FALSE))
        return std::wstring();
    NorvaneTool::ResourceUpdate update(path);
    update.Replace(L"BINARY", MAKEINTRESOURCEW(99), 0x0409, data);
    update.Commit();
    return path;
}

TEST(ToolCommands, ShowRecordNotesAShortRecord)
{
    ScratchFolder folder;
    const ToolOutcome shown = RunTool({L"show-record", ProgramWithRecord(folder, std::string("QUJD", 5))});
    ASSERT_EQ(0, shown.exitCode);
    EXPECT_EQ(0u, shown.output.find(L"# the stored record holds 3 of its 3966 bytes; the rest reads as zero\r\n"
                                    L"backupListed = 0\r\n"));
}

TEST(ToolCommands, ShowRecordNotesWhatItCannotReproduce)
{
    ConfigRecord reserved{};
    reserved.reserved1[0] = L'x';
    ConfigRecord fullWidth{};
    for (wchar_t& unit : fullWidth.mainApplication)
        unit = L'm';
    ConfigRecord blanks{};
    Common::StoreFieldText(blanks.companyName, L" padded ");
    for (const ConfigRecord& record : {reserved, fullWidth, blanks}) {
        ScratchFolder folder;
        const ToolOutcome shown =
            RunTool({L"show-record", ProgramWithRecord(folder, NorvaneTool::RecordResourceData(record))});
        ASSERT_EQ(0, shown.exitCode);
        EXPECT_EQ(0u, shown.output.find(L"# this text does not reproduce the stored record exactly\r\n"
                                        L"backupListed = 0\r\n"));
    }
}

TEST(ToolCommands, ShowRecordOfAFaithfulRecordHasNoNotes)
{
    ScratchFolder folder;
    const ConfigRecord record = NorvaneTool::ParseConfigText(ToolTest::SampleConfig());
    const ToolOutcome shown =
        RunTool({L"show-record", ProgramWithRecord(folder, NorvaneTool::RecordResourceData(record))});
    ASSERT_EQ(0, shown.exitCode);
    EXPECT_EQ(0u, shown.output.find(L"backupListed = 0\r\nmainApplication = SampleApp.exe\r\n"));
}

} // namespace
