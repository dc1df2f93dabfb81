// Installing the downloaded files: backups, moves, archives, registration, attributes and the
// download folder, on real files in a scratch folder.
#include "items/DownloadFile.h"

#include "ItemsTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

using TestSupport::Exists;
using TestSupport::ReadBytes;
using TestSupport::WriteBytes;

namespace {

const wchar_t kComServerKey[] = L"Software\\Norvane Samples\\ComServerSample";

std::wstring RegisteredPath()
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, kComServerKey, L"Registered", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return value;
}

class FileInstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CreateDirectoryW(download_.c_str(), nullptr);
        list_.SetDownloadFolder(download_);
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kComServerKey);
    }
    void TearDown() override { ::RegDeleteKeyW(HKEY_CURRENT_USER, kComServerKey); }

    // The entry returned lives in the list: it is valid until the next entry is added.
    // An entry whose download is waiting in the download folder with the given contents.
    FileEntry& Downloaded(const std::wstring& destination, const std::string& contents)
    {
        FileEntry& entry = Waiting(destination);
        EXPECT_TRUE(WriteBytes(TemporaryPath(entry), contents));
        return entry;
    }

    // An entry the list asks for, with nothing written to the download folder yet.
    FileEntry& Waiting(const std::wstring& destination)
    {
        FileEntry entry;
        entry.localPath = scratch_ / destination;
        entry.temporaryName = L"UpdateFile" + std::to_wstring(list_.Entries().size() + 1);
        entry.download = TRUE;
        list_.Entries().push_back(entry);
        return list_.Entries().back();
    }

    FileEntry& Archive(const std::wstring& destination, const std::wstring& fixture)
    {
        FileEntry& entry = Waiting(destination);
        entry.unzip = TRUE;
        EXPECT_TRUE(::CopyFileW(TestSupport::ZipFixture(fixture).c_str(), TemporaryPath(entry).c_str(), FALSE))
            << "fixture archives missing (CTest's permission_zip_fixtures writes them)";
        return entry;
    }

    std::wstring TemporaryPath(const FileEntry& entry) const { return download_ + L"\\" + entry.temporaryName; }

    BOOL Install() { return list_.ProcessItems(std::wstring()); }

    TestSupport::ScratchFolder scratch_;
    std::wstring download_ = scratch_ / L"NorvaneFiles";
    DownloadFile list_;
    ItemsTest::LogWatch log_;
};

TEST_F(FileInstallTest, NewAndReplacedFilesArriveAndTheDownloadFolderGoes)
{
    ASSERT_TRUE(WriteBytes(scratch_ / L"app.exe", "old program"));
    Downloaded(L"app.exe", "new program");
    Downloaded(L"plugins\\extra\\new.dll", "new plugin");
    FileEntry& skipped = Downloaded(L"skipped.txt", "not wanted");
    skipped.download = FALSE;

    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadBytes(scratch_ / L"app.exe"), "new program");
    EXPECT_EQ(ReadBytes(scratch_ / L"plugins\\extra\\new.dll"), "new plugin");
    EXPECT_FALSE(Exists(scratch_ / L"skipped.txt"));
    EXPECT_FALSE(Exists(download_));
    EXPECT_NE(log_.Added().find(L"\tMoving files to directories\r\n"), std::wstring::npos);
}

// The second file's download is missing: the first is installed and its backup kept, the
// second destination keeps its old file, and the folder stays for the next run.
TEST_F(FileInstallTest, AMissingDownloadStopsBeforeTheDestinationIsTouched)
{
    ASSERT_TRUE(WriteBytes(scratch_ / L"first.txt", "first old"));
    ASSERT_TRUE(WriteBytes(scratch_ / L"second.txt", "second old"));
    Downloaded(L"first.txt", "first new");
    Waiting(L"second.txt");
    Downloaded(L"third.txt", "third new");

    EXPECT_FALSE(Install());
    EXPECT_EQ(ReadBytes(scratch_ / L"first.txt"), "first new");
    EXPECT_EQ(ReadBytes(download_ + L"\\UpdateFile1.bak"), "first old");
    EXPECT_EQ(ReadBytes(scratch_ / L"second.txt"), "second old");
    EXPECT_FALSE(Exists(download_ + L"\\UpdateFile2.bak"));
    EXPECT_FALSE(Exists(scratch_ / L"third.txt"));
    EXPECT_TRUE(Exists(download_ + L"\\UpdateFile3"));
    const std::wstring added = log_.Added();
    EXPECT_NE(added.find(L"\tError moving file:\t" + download_ + L"\\UpdateFile2\r\n\tFile destination:\t" +
                         (scratch_ / L"second.txt") + L"\r\n"),
              std::wstring::npos)
        << added;
}

// A running program's file can be read but not replaced: the backup is a copy, and the new
// file cannot be moved or copied over the old one.
TEST_F(FileInstallTest, ADestinationHeldOpenFailsAfterACopyServedAsBackup)
{
    const std::wstring held = scratch_ / L"held.exe";
    ASSERT_TRUE(WriteBytes(held, "running program"));
    Downloaded(L"held.exe", "new program");
    HANDLE open = ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    const BOOL installed = Install();
    ::CloseHandle(open);

    EXPECT_FALSE(installed);
    EXPECT_EQ(ReadBytes(held), "running program");
    EXPECT_EQ(ReadBytes(download_ + L"\\UpdateFile1.bak"), "running program");
    EXPECT_EQ(ReadBytes(download_ + L"\\UpdateFile1"), "new program");
    const std::wstring added = log_.Added();
    EXPECT_NE(added.find(L"\tCopy to backup\r\n"), std::wstring::npos) << added;
    EXPECT_NE(added.find(L"\tCopy to destination\r\n\tError moving file:\t" + download_ + L"\\UpdateFile1\r\n"
                         L"\tFile destination:\t" + held + L"\r\n"),
              std::wstring::npos)
        << added;
}

TEST_F(FileInstallTest, ABackupFromAnEarlierRunIsReplaced)
{
    ASSERT_TRUE(WriteBytes(scratch_ / L"kept.txt", "current"));
    Downloaded(L"kept.txt", "next");
    ASSERT_TRUE(WriteBytes(download_ + L"\\UpdateFile1.bak", "stale backup"));
    Waiting(L"never.txt");

    EXPECT_FALSE(Install());
    EXPECT_EQ(ReadBytes(download_ + L"\\UpdateFile1.bak"), "current");
}

struct ArchiveCase {
    const wchar_t* fixture;
    const wchar_t* logLine;
    const wchar_t* unpacked; // a file the archive puts beside the destination
};

class ArchiveInstallTest : public FileInstallTest, public ::testing::WithParamInterface<ArchiveCase> {};

TEST_P(ArchiveInstallTest, TheArchiveIsUnpackedBesideItsDestination)
{
    const ArchiveCase& c = GetParam();
    ASSERT_TRUE(::CreateDirectoryW((scratch_ / L"pack").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(scratch_ / L"pack\\bundle.zip", "a file with the archive's name"));
    Archive(L"pack\\bundle.zip", c.fixture).registerServer = TRUE;

    ASSERT_TRUE(Install());
    EXPECT_NE(log_.Added().find(std::wstring(L"\t") + c.logLine + L"\r\n"), std::wstring::npos) << log_.Added();
    EXPECT_EQ(ReadBytes(scratch_ / L"pack\\" + c.unpacked),
              ReadBytes(TestSupport::ZipFixtureFolder() + L"originals\\" + c.fixture + L"\\" + c.unpacked));
    EXPECT_FALSE(Exists(scratch_ / L"pack\\bundle.zip"));
    // Register is not looked at for archives.
    EXPECT_EQ(log_.Added().find(L"registered"), std::wstring::npos);
    EXPECT_EQ(log_.Added().find(L"Unable to register"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(Counts, ArchiveInstallTest, ::testing::Values(
    ArchiveCase{L"single", L"Unzipped 1 file", L"single.txt"},
    ArchiveCase{L"nested", L"Unzipped 4 file(s)", L"docs\\deep\\data.bin"}));

TEST_F(FileInstallTest, ArchivesThatCannotBeUnpackedStopTheInstallation)
{
    const struct {
        const wchar_t* fixture;
        const wchar_t* logLabel;
    } cases[] = {{L"corrupt", L"Unable to open zip file"}, {L"hostile-dotdot", L"Unable to extract zip files"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        list_.Entries().clear();
        ItemsTest::LogWatch log;
        const std::wstring archive = TemporaryPath(Archive(L"pack\\bundle.zip", c.fixture));
        Downloaded(L"after.txt", "not reached");

        EXPECT_FALSE(Install());
        EXPECT_NE(log.Added().find(std::wstring(L"\t") + c.logLabel + L":\t" + archive + L"\r\n"),
                  std::wstring::npos)
            << log.Added();
        EXPECT_FALSE(Exists(scratch_ / L"after.txt"));
        EXPECT_TRUE(Exists(archive));
    }
}

TEST_F(FileInstallTest, AComServerIsRegisteredWhereItWasInstalled)
{
    const std::string server = ReadBytes(ItemsTest::FixtureProgram(L"ComServerSample.dll"));
    ASSERT_FALSE(server.empty());
    Downloaded(L"bin\\ComServerSample.dll", server).registerServer = TRUE;

    ASSERT_TRUE(Install());
    EXPECT_EQ(RegisteredPath(), scratch_ / L"bin\\ComServerSample.dll");
    EXPECT_NE(log_.Added().find(L"\tA file was successfully registered:\t" + (scratch_ / L"bin\\ComServerSample.dll")),
              std::wstring::npos);
}

TEST_F(FileInstallTest, AFileThatCannotBeRegisteredStopsTheInstallation)
{
    Downloaded(L"notaserver.dll", "plain text, not a library").registerServer = TRUE;
    Downloaded(L"after.txt", "not reached");

    EXPECT_FALSE(Install());
    EXPECT_NE(log_.Added().find(L"\tUnable to register:\t" + (scratch_ / L"notaserver.dll")), std::wstring::npos);
    EXPECT_FALSE(Exists(scratch_ / L"after.txt"));
    EXPECT_TRUE(Exists(download_));
}

TEST_F(FileInstallTest, AttributeFlagsReplaceTheAttributesTheFileArrivedWith)
{
    const struct {
        const wchar_t* name;
        BOOL hidden;
        BOOL readOnly;
        DWORD expected;
    } cases[] = {
        {L"readonly.txt", FALSE, TRUE, FILE_ATTRIBUTE_READONLY},
        {L"hidden.txt", TRUE, FALSE, FILE_ATTRIBUTE_HIDDEN},
        {L"both.txt", TRUE, TRUE, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
        {L"plain.txt", FALSE, FALSE, FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM},
    };
    for (const auto& c : cases) {
        FileEntry& entry = Downloaded(c.name, "attributes");
        entry.hidden = c.hidden;
        entry.readOnly = c.readOnly;
        ASSERT_TRUE(::SetFileAttributesW(TemporaryPath(entry).c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM));
    }
    ASSERT_TRUE(Install());
    // Wine reports the archive bit on every file, so only the other bits can show a change.
    const DWORD shown = ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE);
    for (const auto& c : cases) {
        const std::wstring path = scratch_ / c.name;
        EXPECT_EQ(::GetFileAttributesW(path.c_str()) & shown, c.expected & shown) << c.name;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

} // namespace
