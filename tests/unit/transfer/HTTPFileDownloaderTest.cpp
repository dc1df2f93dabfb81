#include <gtest/gtest.h>

#include "OfflineProbe.h"
#include "support/ProcessLog.h"
#include "TransferTestServers.h"
#include "transfer/HTTPFileDownloader.h"

#include <objbase.h>

#include <memory>
#include <string>
#include <vector>

using TransferTest::AccessLogCount;
using TransferTest::LocalAddress;
using TestSupport::LogMark;
using TestSupport::LogTextSince;
using TransferTest::OfflineProbe;
using TransferTest::ServerValue;

namespace {

const wchar_t kLostConnectionText[] =
    L"You appear to have lost your internet connection! This update will continue next time an "
    L"internet connection is available from the same file position.";

ServerEntry Entry(const std::wstring& protocol, const std::wstring& hostPath,
                  const std::wstring& port = std::wstring())
{
    ServerEntry entry;
    entry.protocol = protocol;
    entry.hostPath = hostPath;
    entry.port = port;
    return entry;
}

ServerEntry LocalEntry(const std::wstring& path)
{
    return Entry(L"http://", LocalAddress(L"HTTP_PORT") + path);
}

// The bytes testservers.py writes into its data files.
std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((i % 8192) % 94) + 33);
    return bytes;
}

std::string ReadAll(IFileDownloader& downloader, std::size_t& reads)
{
    std::string bytes;
    std::vector<char> buffer(8192);
    reads = 0;
    for (;;) {
        const DWORD n = downloader.Read(buffer.data(), static_cast<DWORD>(buffer.size()));
        ++reads;
        if (n == 0)
            return bytes;
        bytes.append(buffer.data(), n);
    }
}

ULONGLONG Ticks(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

ULONGLONG ServerFileTime()
{
    const ULONGLONG unixSeconds = std::stoull(ServerValue(L"FILE_TIME"));
    return (unixSeconds + 11644473600ULL) * 10000000ULL;
}

std::wstring NodeText(IXMLDOMDocument* document, const wchar_t* path)
{
    BSTR query = ::SysAllocString(path);
    Common::ComPtr<IXMLDOMNode> node;
    document->selectSingleNode(query, node.Address());
    ::SysFreeString(query);
    if (!node)
        return L"<none>";
    BSTR text = nullptr;
    node->get_text(&text);
    const std::wstring result = text != nullptr ? text : L"";
    ::SysFreeString(text);
    return result;
}

class HTTPFileDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(TransferTest::ServersKnown()) << "NORVANE_SERVERS does not name servers.env";
    }
    void TearDown() override { ::CoUninitialize(); }
};

TEST_F(HTTPFileDownloaderTest, DescriptionUrlGetsThePortBehindTheHost)
{
    HTTPFileDownloader downloader(Entry(L"http://", L"host/dir/file.xml", L"8080"));
    EXPECT_EQ(L"http://host:8080/dir/file.xml", downloader.GetDescriptionUrl());
    EXPECT_EQ(L"http://host:8080/dir", downloader.GetFilesUrl());
}

TEST_F(HTTPFileDownloaderTest, UrlsUseForwardSlashesAndNoTrailingSeparator)
{
    ServerEntry entry = Entry(L"http://", L"host\\dir\\file.xml");
    entry.hasFilesLocation = 1;
    entry.filesProtocol = L"http://";
    entry.filesHostPath = L"files.host\\updates\\\\";
    entry.filesPort = L"81";
    HTTPFileDownloader downloader(entry);
    EXPECT_EQ(L"http://host/dir/file.xml", downloader.GetDescriptionUrl());
    EXPECT_EQ(L"http://files.host:81/updates", downloader.GetFilesUrl());
}

TEST_F(HTTPFileDownloaderTest, LoadsTheDescriptionOnce)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    const std::string request = "\"GET /update.xml ";
    const unsigned before = AccessLogCount(request);
    IXMLDOMDocument* document = downloader.LoadDescription();
    ASSERT_NE(nullptr, document);
    EXPECT_EQ(L"1.0.0.1", NodeText(document, L"Norvane/Version"));
    EXPECT_EQ(before + 1, AccessLogCount(request));

    EXPECT_EQ(document, downloader.LoadDescription());
    EXPECT_EQ(before + 1, AccessLogCount(request));
}

TEST_F(HTTPFileDownloaderTest, MissingDescriptionGivesNullAndIsLogged)
{
    HTTPFileDownloader downloader(LocalEntry(L"/missing.xml"));
    const std::size_t mark = LogMark();
    EXPECT_EQ(nullptr, downloader.LoadDescription());
    EXPECT_NE(std::wstring::npos,
              LogTextSince(mark).find(L"\t\r\n\tErrors try to access:\t" +
                                      downloader.GetDescriptionUrl() + L"\r\n"));
    EXPECT_EQ(nullptr, downloader.LoadDescription());
}

TEST_F(HTTPFileDownloaderTest, ReadsAFileOfExactlyOneBuffer)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.Connect());
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files\\file8192.bin"));
    EXPECT_EQ(8192u, downloader.GetFileSize());
    FILETIME creation = {}, access = {}, write = {};
    ASSERT_TRUE(downloader.GetFileTimes(&creation, &access, &write));
    EXPECT_EQ(ServerFileTime(), Ticks(write));
    EXPECT_EQ(Ticks(write), Ticks(creation));
    EXPECT_EQ(Ticks(write), Ticks(access));

    std::size_t reads = 0;
    EXPECT_EQ(Pattern(8192), ReadAll(downloader, reads));
    EXPECT_TRUE(downloader.CloseDownloadFile());
    EXPECT_FALSE(downloader.CloseDownloadFile());
}

TEST_F(HTTPFileDownloaderTest, ReadsAnEmptyFile)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"/files/empty.bin"));
    EXPECT_EQ(0u, downloader.GetFileSize());
    std::size_t reads = 0;
    EXPECT_EQ(std::string(), ReadAll(downloader, reads));
    EXPECT_EQ(1u, reads);
}

TEST_F(HTTPFileDownloaderTest, ReadsALargeFileInBlocks)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files/big.bin"));
    EXPECT_EQ(3u * 1024 * 1024, downloader.GetFileSize());
    std::size_t reads = 0;
    const std::string bytes = ReadAll(downloader, reads);
    EXPECT_EQ(3u * 1024 * 1024, bytes.size());
    EXPECT_TRUE(bytes == Pattern(bytes.size()));
}

TEST_F(HTTPFileDownloaderTest, NoOpenFileMeansUnknownSizeAndTimes)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    EXPECT_EQ(0xFFFFFFFFu, downloader.GetFileSize());
    FILETIME time = {};
    EXPECT_FALSE(downloader.GetFileTimes(&time, &time, &time));
    EXPECT_EQ(0u, downloader.Read(&time, sizeof time));
    EXPECT_EQ(0u, downloader.GetErrorText().find(L"HTTP Error 0\r\n\r\nThe file may be missing"));
}

TEST_F(HTTPFileDownloaderTest, MissingFileIsExplainedAsNotFound)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files/missing.bin"));
    const std::size_t mark = LogMark();
    const std::wstring text = L"Likely error; The file does not exist on the update server!";
    EXPECT_EQ(text, downloader.GetErrorText());
    EXPECT_EQ(L"\t" + text + L"\r\n", LogTextSince(mark));
}

TEST_F(HTTPFileDownloaderTest, NegotiatesOncePerServerAfterConnect)
{
    HTTPFileDownloader downloader(LocalEntry(L"/counted/update.xml"));
    const unsigned description = AccessLogCount("\"GET /counted/update.xml ");
    const unsigned one = AccessLogCount("\"GET /counted/one.bin ");
    const unsigned two = AccessLogCount("\"GET /counted/two.bin ");
    const unsigned three = AccessLogCount("\"GET /counted/three.bin ");

    ASSERT_TRUE(downloader.Connect());
    EXPECT_EQ(description + 1, AccessLogCount("\"GET /counted/update.xml "));
    // The first file negotiates again, and that answer is the download itself.
    ASSERT_TRUE(downloader.OpenDownloadFile(L"one.bin"));
    EXPECT_EQ(one + 1, AccessLogCount("\"GET /counted/one.bin "));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"two.bin"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"three.bin"));
    EXPECT_EQ(two + 1, AccessLogCount("\"GET /counted/two.bin "));
    EXPECT_EQ(three + 1, AccessLogCount("\"GET /counted/three.bin "));
}

TEST_F(HTTPFileDownloaderTest, WebsiteChallengeWithoutCredentialsIsRefused)
{
    HTTPFileDownloader downloader(LocalEntry(L"/auth/update.xml"));
    const std::string challenged = "\"GET /auth/update.xml HTTP/1.1\" 401";
    const unsigned before = AccessLogCount(challenged);
    const std::size_t mark = LogMark();
    EXPECT_FALSE(downloader.Connect());
    EXPECT_EQ(L"\t-- Website username:\t\r\n"
              L"\tDisplay of website authentication window will not occur. Terminating...\r\n",
              LogTextSince(mark));
    // Two sends of ours; Wine answers a resend that carries credentials with a plain request
    // first and then an authorised one, so the server may see more than two.
    EXPECT_LE(before + 2, AccessLogCount(challenged));
}

TEST_F(HTTPFileDownloaderTest, WebsiteChallengeIsAnsweredWithConfiguredCredentials)
{
    ServerEntry entry = LocalEntry(L"/auth/update.xml");
    entry.userName = ServerValue(L"AUTH_USER");
    entry.password = ServerValue(L"AUTH_PASSWORD");
    HTTPFileDownloader downloader(entry);
    const unsigned before = AccessLogCount("\"GET /auth/update.xml HTTP/1.1\" 200");
    const std::size_t mark = LogMark();
    EXPECT_TRUE(downloader.Connect());
    EXPECT_EQ(L"\t-- Website username:\t" + entry.userName + L"\r\n", LogTextSince(mark));
    EXPECT_EQ(before + 1, AccessLogCount("\"GET /auth/update.xml HTTP/1.1\" 200"));
}

// A prompt that answers every challenge with the same pair and counts how often it was asked.
struct CountingPrompt {
    static unsigned calls;
    static std::wstring user;
    static std::wstring password;
    static bool Answer(CredentialsKind kind, std::wstring& userOut, std::wstring& passwordOut)
    {
        EXPECT_EQ(CredentialsKind::Website, kind);
        ++calls;
        userOut = user;
        passwordOut = password;
        return true;
    }
};
unsigned CountingPrompt::calls = 0;
std::wstring CountingPrompt::user;
std::wstring CountingPrompt::password;

class InstalledPrompt {
public:
    InstalledPrompt(const std::wstring& user, const std::wstring& password)
        : previous_(SetCredentialsPrompt(CountingPrompt::Answer))
    {
        CountingPrompt::calls = 0;
        CountingPrompt::user = user;
        CountingPrompt::password = password;
    }
    ~InstalledPrompt() { SetCredentialsPrompt(previous_); }
    InstalledPrompt(const InstalledPrompt&) = delete;
    InstalledPrompt& operator=(const InstalledPrompt&) = delete;

private:
    CredentialsPrompt previous_;
};

TEST_F(HTTPFileDownloaderTest, WrongCredentialsStopAfterTheFourthSend)
{
    InstalledPrompt prompt(L"wrong", L"wrong");
    // Wrong credentials are never remembered, so "localhost" stays unauthenticated.
    HTTPFileDownloader downloader(
        Entry(L"http://", L"localhost:" + ServerValue(L"HTTP_PORT") + L"/auth/update.xml"));
    const std::size_t mark = LogMark();
    // Three answered 401s; the fourth answer is left to whoever reads the request.
    EXPECT_TRUE(downloader.Connect());
    EXPECT_EQ(2u, CountingPrompt::calls);
    EXPECT_EQ(L"\t-- Website username:\t\r\n"
              L"\t-- Website username:\twrong\r\n"
              L"\t-- Website username:\twrong\r\n",
              LogTextSince(mark));
}

TEST_F(HTTPFileDownloaderTest, CredentialsGivenAtTheSecondChallengeOpenTheFiles)
{
    InstalledPrompt prompt(ServerValue(L"AUTH_USER"), ServerValue(L"AUTH_PASSWORD"));
    HTTPFileDownloader downloader(
        Entry(L"http://", L"127.0.0.2:" + ServerValue(L"HTTP_PORT") + L"/auth/update.xml"));
    EXPECT_TRUE(downloader.Connect());
    EXPECT_EQ(1u, CountingPrompt::calls);
    ASSERT_TRUE(downloader.OpenDownloadFile(L"file8192.bin"));
    EXPECT_EQ(8192u, downloader.GetFileSize());
    std::size_t reads = 0;
    EXPECT_EQ(Pattern(8192), ReadAll(downloader, reads));
}

TEST_F(HTTPFileDownloaderTest, UpperCaseSecureSchemeReadsEveryFile)
{
    TransferTest::TrustedTestAuthority authority;
    ASSERT_TRUE(authority.Added());
    HTTPFileDownloader downloader(
        Entry(L"HTTPS://", L"localhost:" + ServerValue(L"HTTPS_PORT") + L"/update.xml"));
    const std::size_t mark = LogMark();
    ASSERT_TRUE(downloader.Connect());
    // The first file is the negotiation's own answer, the second a request of its own.
    for (const wchar_t* name : {L"files/file8192.bin", L"files/file8192.bin"}) {
        ASSERT_TRUE(downloader.OpenDownloadFile(name));
        std::size_t reads = 0;
        EXPECT_EQ(Pattern(8192), ReadAll(downloader, reads));
    }
    EXPECT_EQ(std::wstring(), LogTextSince(mark));
}

TEST_F(HTTPFileDownloaderTest, TrustedAuthorityNeedsNoRelaxedFlags)
{
    TransferTest::TrustedTestAuthority authority;
    ASSERT_TRUE(authority.Added());
    HTTPFileDownloader downloader(
        Entry(L"https://", L"localhost:" + ServerValue(L"HTTPS_PORT") + L"/update.xml"));
    const std::size_t mark = LogMark();
    ASSERT_TRUE(downloader.Connect());
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files/file8192.bin"));
    EXPECT_EQ(8192u, downloader.GetFileSize());
    std::size_t reads = 0;
    EXPECT_EQ(Pattern(8192), ReadAll(downloader, reads));
    EXPECT_EQ(std::wstring(), LogTextSince(mark));
}

TEST_F(HTTPFileDownloaderTest, UnknownAuthorityIsLoggedAndNotTrustedForFiles)
{
    HTTPFileDownloader downloader(
        Entry(L"https://", L"localhost:" + ServerValue(L"HTTPS_UNTRUSTED_PORT") + L"/update.xml"));
    const std::size_t mark = LogMark();
    EXPECT_TRUE(downloader.Connect());
    EXPECT_FALSE(downloader.OpenDownloadFile(L"files/file8192.bin"));
    const std::wstring log = LogTextSince(mark);
    EXPECT_EQ(0u, log.find(L"\tSecurity error:\tThere is no trust authority for the CA root "
                           L"certificate in the HTTPS request\r\n"));
    EXPECT_NE(std::wstring::npos, log.find(L"\tHttpSendRequest error in OpenDownloadFile:\t"));
}

TEST_F(HTTPFileDownloaderTest, UnreachableServerFailsToConnect)
{
    HTTPFileDownloader downloader(Entry(L"http://", LocalAddress(L"CLOSED_PORT") + L"/update.xml"));
    const std::size_t mark = LogMark();
    EXPECT_FALSE(downloader.Connect());
    EXPECT_EQ(0u, LogTextSince(mark).find(
                      L"\tHttpSendRequest error in ConnectAndManageCredentials:\t"));
}

TEST_F(HTTPFileDownloaderTest, OfflineMachineIsNotConnected)
{
    OfflineProbe offline;
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    const std::size_t mark = LogMark();
    EXPECT_FALSE(downloader.IsInternetAvailable());
    EXPECT_FALSE(downloader.Connect());
    EXPECT_NE(std::wstring::npos,
              LogTextSince(mark).find(
                  L"\r\nNo internet connection. Ensure you are connected and try again.\r\n"));
}

TEST_F(HTTPFileDownloaderTest, ConnectionLostDuringTransferIsExplained)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files/file8192.bin"));
    OfflineProbe offline;
    const std::size_t mark = LogMark();
    EXPECT_EQ(kLostConnectionText, downloader.GetErrorText());
    EXPECT_EQ(L"\r\nInternet connection lost during update.\r\n", LogTextSince(mark));
}

TEST_F(HTTPFileDownloaderTest, SuccessfulTransferWithWrongSizeIsExplained)
{
    HTTPFileDownloader downloader(LocalEntry(L"/update.xml"));
    ASSERT_TRUE(downloader.OpenDownloadFile(L"files/file8192.bin"));
    EXPECT_EQ(0u, downloader.GetErrorText().find(L"The server call succeeded"));
}

} // namespace
