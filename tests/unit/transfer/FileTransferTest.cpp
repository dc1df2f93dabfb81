#include "transfer/CFileTransfer.h"
#include "transfer/HTTPFileDownloader.h"
#include "transfer/IFileDownloader.h"
#include "transfer/TransferMessages.h"

#include "core/Log.h"
#include "items/Variables.h"
#include "support/TestFiles.h"
#include "support/ProcessLog.h"

#include "ProgressWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using TestSupport::ScratchFolder;

// What the log gained since the mark was made.
class LogMark {
public:
    LogMark() : start_(TestSupport::LogMark()) {}
    std::wstring Added() const { return TestSupport::LogTextSince(start_); }

private:
    std::size_t start_;
};

// Serves `data` from memory in blocks of at most `chunk` bytes, and stops early after
// `dropAfter` bytes as a lost connection does.
class FakeDownloader : public IFileDownloader {
public:
    explicit FakeDownloader(const ServerEntry& entry = ServerEntry()) : IFileDownloader(entry) {}

    std::string data;
    DWORD chunk = 8192;
    DWORD reportedSize = 0xFFFFFFFFU;
    std::string::size_type dropAfter = std::string::npos;
    BOOL openResult = TRUE;
    BOOL timesKnown = FALSE;
    FILETIME times[3] = {};
    std::wstring errorText = L"Connection lost";

    std::wstring openedName;
    int reads = 0;
    DWORD largestRequest = 0;
    int closes = 0;

    IXMLDOMDocument* LoadDescription() override { return nullptr; }
    BOOL OpenDownloadFile(const std::wstring& fileName) override
    {
        openedName = fileName;
        position_ = 0;
        return openResult;
    }
    DWORD Read(void* buffer, DWORD size) override
    {
        ++reads;
        largestRequest = std::max(largestRequest, size);
        const std::string::size_type end = std::min(data.size(), dropAfter);
        const std::string::size_type left = end > position_ ? end - position_ : 0;
        const DWORD count = static_cast<DWORD>(std::min<std::string::size_type>(left, std::min(size, chunk)));
        std::copy(data.begin() + position_, data.begin() + position_ + count, static_cast<char*>(buffer));
        position_ += count;
        return count;
    }
    BOOL CloseDownloadFile() override
    {
        ++closes;
        return TRUE;
    }
    std::wstring CanonicalizeUrl(const std::wstring& url) override { return url; }
    std::wstring GetDescriptionUrl() override { return L"fake://description.xml"; }
    std::wstring GetFilesUrl() override { return L"fake://files"; }
    std::wstring GetErrorText() override { return errorText; }
    BOOL GetFileTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) override
    {
        if (!timesKnown)
            return FALSE;
        *creation = times[0];
        *lastAccess = times[1];
        *lastWrite = times[2];
        return TRUE;
    }
    DWORD GetFileSize() override { return reportedSize; }
    BOOL Connect() override { return TRUE; }
    BOOL IsInternetAvailable() override { return TRUE; }

private:
    std::string::size_type position_ = 0;
};

using TransferTest::ProgressWindow;

std::string Pattern(std::string::size_type size)
{
    std::string bytes(size, '\0');
    for (std::string::size_type i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('A' + i % 23);
    return bytes;
}

class FileTransferTest : public ::testing::Test {
protected:
    FileTransferTest() : transfer_(window_.Handle(), true, [this] { ++sourceCalls_; return source_; }) {}

    BOOL Transfer(const std::wstring& remoteName, DWORD expectedSize, DWORD expectedCrc = 0)
    {
        return transfer_.TransferFile(folder_.Path(), remoteName, L"local.bin", expectedSize, expectedCrc);
    }
    std::wstring LocalPath() const { return folder_ / L"local.bin"; }
    std::string LocalBytes() const { return TestSupport::ReadBytes(LocalPath()); }

    ScratchFolder folder_;
    ProgressWindow window_;
    FakeDownloader downloader_;
    IFileDownloader* source_ = &downloader_;
    int sourceCalls_ = 0;
    CFileTransfer transfer_;
};

std::wstring Report(const std::wstring& errorText, const std::wstring& remoteName, int expected, int actual,
                    const std::wstring& dump)
{
    return L"\r\nFile download errors\r\n"
           L"\tFilename: " + remoteName + L"\r\nExpected file size: " + std::to_wstring(expected)
        + L"\r\nActual file size: " + std::to_wstring(actual) + L"\r\n"
          L"\r\n\r\nDiagnosis of failure may be possible from this dump of the last buffer transfer:\r\n"
          L"\r\nResult of file download: " + errorText + L"\r\n"
          L"\r\n-----------------------------------------------\r\n"
        + dump
        + L"\r\n\r\n-----------------------------------------------\r\n"
          L"\t\r\n\r\n";
}

TEST_F(FileTransferTest, EmptyFileSucceedsWithoutServerOrLocalFile)
{
    const LogMark mark;
    EXPECT_EQ(1, Transfer(L"empty.txt", 0));
    EXPECT_EQ(0, sourceCalls_);
    EXPECT_FALSE(TestSupport::Exists(LocalPath()));
    EXPECT_EQ(L"", mark.Added());
}

TEST_F(FileTransferTest, OneFullBlockGivesOneProgressMessage)
{
    downloader_.data = Pattern(8192);
    downloader_.reportedSize = 8192;
    const LogMark mark;
    EXPECT_EQ(1, Transfer(L"dir/block.bin", 8192));
    EXPECT_EQ(1, sourceCalls_);
    EXPECT_EQ(L"dir/block.bin", downloader_.openedName);
    EXPECT_EQ(2, downloader_.reads);
    EXPECT_EQ(8192u, downloader_.largestRequest);
    EXPECT_EQ(1, downloader_.closes);
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{8192, 8192}};
    EXPECT_EQ(expected, window_.Messages());
    EXPECT_EQ(downloader_.data, LocalBytes());
    EXPECT_EQ(L"", mark.Added());
}

TEST_F(FileTransferTest, SeveralMegabytesArriveWholeWithRisingProgress)
{
    const DWORD size = 3 * 1024 * 1024 + 1001;
    downloader_.data = Pattern(size);
    downloader_.chunk = 5000;
    downloader_.reportedSize = size;
    EXPECT_EQ(1, Transfer(L"big.bin", size));
    EXPECT_EQ(downloader_.data, LocalBytes());
    const std::vector<std::pair<WPARAM, LPARAM>> messages = window_.Messages();
    ASSERT_EQ((size + 4999) / 5000, messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(std::min<WPARAM>((i + 1) * 5000, size), messages[i].first);
        EXPECT_EQ(static_cast<LPARAM>(size), messages[i].second);
    }
}

TEST_F(FileTransferTest, ServerSizeThatDiffersFailsAfterTheFirstRead)
{
    downloader_.data = "Not what the list says";
    downloader_.reportedSize = 500;
    downloader_.errorText = L"Size mismatch";
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"dir/sized.bin", 400));
    EXPECT_EQ(1, downloader_.reads);
    EXPECT_EQ(Report(L"Size mismatch", L"dir/sized.bin", 400, 500, L"Not what the list says"), mark.Added());
    EXPECT_TRUE(TestSupport::Exists(LocalPath()));
    EXPECT_EQ("", LocalBytes());
    EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(FileTransferTest, UnknownServerSizeSkipsTheCheck)
{
    for (const DWORD reported : {0xFFFFFFFFU, 0U}) {
        downloader_.data = Pattern(1000);
        downloader_.reportedSize = reported;
        EXPECT_EQ(1, Transfer(L"unsized.bin", 1000)) << reported;
        EXPECT_EQ(downloader_.data, LocalBytes());
    }
}

TEST_F(FileTransferTest, TooManyBytesFailWithoutWritingTheLastBlock)
{
    downloader_.data = std::string(16384, 'x');
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"long.bin", 8192));
    // No zero byte in the buffer: the dump stops at its limit, not after the buffer.
    EXPECT_EQ(Report(L"Connection lost", L"long.bin", 8192, 16384, std::wstring(3000, L'x')), mark.Added());
    EXPECT_EQ(std::string(8192, 'x'), LocalBytes());
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{8192, 8192}};
    EXPECT_EQ(expected, window_.Messages());
}

TEST_F(FileTransferTest, ExtraBytesInsideTheLastBlockAreNotWritten)
{
    downloader_.data = Pattern(8192) + "tail";
    downloader_.chunk = 4096;
    EXPECT_EQ(0, Transfer(L"long.bin", 8194));
    EXPECT_EQ(Pattern(8192), LocalBytes());
}

TEST_F(FileTransferTest, DroppedConnectionReportsTheShortSize)
{
    downloader_.data = "<html>Service unavailable</html>" + Pattern(100);
    downloader_.chunk = 32;
    downloader_.dropAfter = 32;
    downloader_.reportedSize = static_cast<DWORD>(downloader_.data.size());
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"dir/short.bin", 132));
    EXPECT_EQ(Report(L"Connection lost", L"dir/short.bin", 132, 32, L"<html>Service unavailable</html>"),
              mark.Added());
    EXPECT_EQ("<html>Service unavailable</html>", LocalBytes());
}

TEST_F(FileTransferTest, SizesArePrintedSigned)
{
    const LogMark mark;
    transfer_.ReportDownloadFailure(L"Broken", L"huge.bin", 0xFFFFFFFEU, 3000000000U);
    const std::wstring added = mark.Added();
    EXPECT_NE(std::wstring::npos, added.find(L"\r\nExpected file size: -2\r\nActual file size: -1294967296\r\n"));
}

TEST_F(FileTransferTest, MatchingCrcIsLogged)
{
    downloader_.data = "123456789";
    const LogMark mark;
    EXPECT_EQ(1, Transfer(L"dir/check.txt", 9, 0xCBF43926U));
    EXPECT_EQ(L"\tFile download success:\tdir/check.txt, 3421780262\r\n", mark.Added());
}

TEST_F(FileTransferTest, CrcMismatchFailsWithBothValues)
{
    downloader_.data = "123456789";
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"dir/check.txt", 9, 1234));
    EXPECT_EQ(L"\r\nFile CRC error. Exiting.\r\n\tFile:\tdir/check.txt\r\n\tExpected CRC:\t1234\r\n"
              L"\tDetected CRC:\t3421780262\r\n",
              mark.Added());
    EXPECT_EQ("123456789", LocalBytes());
}

TEST_F(FileTransferTest, CrcZeroIsNotChecked)
{
    downloader_.data = "123456789";
    const LogMark mark;
    EXPECT_EQ(1, Transfer(L"dir/check.txt", 9, 0));
    EXPECT_EQ(L"", mark.Added());
}

TEST_F(FileTransferTest, RemoteTimesAreGivenToTheLocalFile)
{
    downloader_.data = "dated";
    downloader_.timesKnown = TRUE;
    for (int i = 0; i < 3; ++i) {
        downloader_.times[i].dwHighDateTime = 0x01C00000U + static_cast<DWORD>(i);
        downloader_.times[i].dwLowDateTime = 0x10000000U;
    }
    EXPECT_EQ(1, Transfer(L"dated.txt", 5));
    HANDLE file = ::CreateFileW(LocalPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME lastWrite = {};
    EXPECT_TRUE(::GetFileTime(file, nullptr, nullptr, &lastWrite));
    ::CloseHandle(file);
    EXPECT_EQ(downloader_.times[2].dwHighDateTime, lastWrite.dwHighDateTime);
    EXPECT_EQ(downloader_.times[2].dwLowDateTime, lastWrite.dwLowDateTime);
}

TEST_F(FileTransferTest, OpenFailureIsLoggedAndNothingIsRead)
{
    downloader_.openResult = FALSE;
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"dir/missing.bin", 10));
    EXPECT_EQ(0, downloader_.reads);
    EXPECT_EQ(L"\tCritical error connecting to file server:\tdir/missing.bin\r\n", mark.Added());
}

TEST_F(FileTransferTest, NoServerFails)
{
    source_ = nullptr;
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"file.bin", 10));
    EXPECT_EQ(1, sourceCalls_);
    EXPECT_EQ(L"", mark.Added());
}

TEST_F(FileTransferTest, LocalFileThatCannotBeCreatedIsLogged)
{
    ASSERT_TRUE(::CreateDirectoryW(LocalPath().c_str(), nullptr));
    const LogMark mark;
    EXPECT_EQ(0, Transfer(L"file.bin", 10));
    EXPECT_EQ(0, sourceCalls_);
    EXPECT_EQ(L"\tCritical error; Unable to create a file:\t" + LocalPath() + L"\r\n", mark.Added());
}

TEST(FileTransfer, MessageIsWmAppPlusFour)
{
    EXPECT_EQ(0x8004u, WM_APP_TRANSFER_PROGRESS);
}

struct DerivationCase {
    const wchar_t* protocol;
    const wchar_t* hostPath;
    const wchar_t* port;
    const wchar_t* filesHostPath;
};

class DeriveFilesLocationTest : public ::testing::TestWithParam<DerivationCase> {};

TEST_P(DeriveFilesLocationTest, FolderOfTheDescriptionWithItsProtocolAndPort)
{
    ServerEntry entry;
    entry.protocol = GetParam().protocol;
    entry.hostPath = GetParam().hostPath;
    entry.port = GetParam().port;
    entry.userName = L"user";
    entry.password = L"secret";
    const LogMark mark;
    const FakeDownloader downloader(entry);
    const ServerEntry& derived = downloader.Entry();
    EXPECT_EQ(GetParam().filesHostPath, derived.filesHostPath);
    EXPECT_EQ(GetParam().protocol, derived.filesProtocol);
    EXPECT_EQ(GetParam().port, derived.filesPort);
    EXPECT_EQ(GetParam().hostPath, derived.hostPath);
    EXPECT_EQ(L"", derived.filesUserName);
    EXPECT_EQ(L"", derived.filesPassword);
    EXPECT_EQ(0, derived.filesPassiveFtp);
    EXPECT_EQ(L"", mark.Added());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeriveFilesLocationTest,
    ::testing::Values(DerivationCase{L"http://", L"host/dir/sub/file.xml", L"8080", L"host/dir/sub"},
                      DerivationCase{L"https://", L"host/file.xml", L"", L"host"},
                      DerivationCase{L"file:", L"\\\\server\\share\\sub\\file.xml", L"", L"\\\\server\\share\\sub"},
                      DerivationCase{L"http://", L"host/dir\\sub\\file.xml", L"", L"host"},
                      DerivationCase{L"ftp://", L"file.xml", L"21", L"file.xml"}));

TEST(DeriveFilesLocation, ConfiguredFilesLocationIsUntouched)
{
    ServerEntry entry;
    entry.protocol = L"http://";
    entry.hostPath = L"host/%Login%/file.xml";
    entry.port = L"80";
    entry.filesProtocol = L"ftp://";
    entry.filesHostPath = L"files/%Login%";
    entry.filesPort = L"21";
    entry.filesUserName = L"ftpuser";
    entry.filesPassiveFtp = 1;
    entry.hasFilesLocation = 1;
    const LogMark mark;
    const FakeDownloader downloader(entry);
    const ServerEntry& kept = downloader.Entry();
    EXPECT_EQ(L"host/%Login%/file.xml", kept.hostPath);
    EXPECT_EQ(L"ftp://", kept.filesProtocol);
    EXPECT_EQ(L"files/%Login%", kept.filesHostPath);
    EXPECT_EQ(L"21", kept.filesPort);
    EXPECT_EQ(L"ftpuser", kept.filesUserName);
    EXPECT_EQ(1, kept.filesPassiveFtp);
    EXPECT_EQ(L"", mark.Added());
}

TEST(DeriveFilesLocation, ExpandedVariablesAreLoggedAsTransform)
{
    const std::wstring original = L"host/%Login%/file.xml";
    const std::wstring expanded = ExpandVariables(original);
    ASSERT_NE(original, expanded);
    ServerEntry entry;
    entry.protocol = L"http://";
    entry.hostPath = original;
    const LogMark mark;
    const FakeDownloader downloader(entry);
    EXPECT_EQ(expanded, downloader.Entry().hostPath);
    EXPECT_EQ(expanded.substr(0, expanded.rfind(L'/')), downloader.Entry().filesHostPath);
    const std::wstring added = mark.Added();
    const std::wstring transform = L"\tTransform:\t" + original + L", " + expanded + L"\r\n";
    EXPECT_NE(std::wstring::npos, added.find(transform)) << added;
}

TEST(CreateDownloader, ProtocolsAreMatchedCaseSensitively)
{
    for (const wchar_t* protocol : {L"http://", L"https://", L"FTP://", L"File:", L"gopher://"}) {
        ServerEntry entry;
        entry.protocol = protocol;
        entry.hostPath = L"localhost/updates/description.xml";
        std::unique_ptr<IFileDownloader> downloader(CreateDownloader(protocol, entry));
        EXPECT_NE(nullptr, dynamic_cast<HTTPFileDownloader*>(downloader.get())) << protocol;
    }
}

} // namespace
