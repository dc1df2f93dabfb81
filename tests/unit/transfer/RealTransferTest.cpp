// CFileTransfer::TransferFile through a real HTTPFileDownloader against the local test servers:
// nginx for well-behaved answers, the test servers' own small server for broken ones.
#include "transfer/CFileTransfer.h"
#include "transfer/HTTPFileDownloader.h"
#include "transfer/TransferMessages.h"

#include "support/TestFiles.h"
#include "support/ProcessLog.h"
#include "transfer/TransferTestServers.h"

#include "OfflineProbe.h"
#include "ProgressWindow.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using TestSupport::ScratchFolder;
using TransferTest::LocalAddress;
using TransferTest::ServerValue;

BOOL Online()
{
    return TRUE;
}

BOOL OnlineCheck(const wchar_t*)
{
    return TRUE;
}

// Answers the connectivity checks locally, so that no test asks the machine or the outside.
class OnlineProbe {
public:
    OnlineProbe() : previous_(SetConnectivityProbe(ConnectivityProbe{Online, OnlineCheck})) {}
    ~OnlineProbe() { SetConnectivityProbe(previous_); }
    OnlineProbe(const OnlineProbe&) = delete;
    OnlineProbe& operator=(const OnlineProbe&) = delete;

private:
    ConnectivityProbe previous_;
};

using TransferTest::ProgressWindow;

// The bytes testservers.py writes into its data files and its own server sends.
std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((i % 8192) % 94) + 33);
    return bytes;
}

DWORD Crc32(const std::string& bytes)
{
    DWORD crc = 0xFFFFFFFFU;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
    }
    return ~crc;
}

std::string ServerFile(const std::wstring& relative)
{
    return TestSupport::ReadBytes(ServerValue(L"DOC_ROOT") + L"\\" + relative);
}

ServerEntry Entry(const std::wstring& portKey)
{
    ServerEntry entry;
    entry.protocol = L"http://";
    entry.hostPath = LocalAddress(portKey) + L"/update.xml";
    return entry;
}

std::wstring Header(const std::wstring& remoteName, DWORD expected, DWORD actual)
{
    return L"\r\nFile download errors\r\n\tFilename: " + remoteName + L"\r\nExpected file size: " +
           std::to_wstring(expected) + L"\r\nActual file size: " + std::to_wstring(actual) + L"\r\n";
}

class RealTransferTest : public ::testing::Test {
protected:
    RealTransferTest() : transfer_(window_.Handle(), true, [this] { ++sourceCalls_; return downloader_.get(); }) {}

    void SetUp() override
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_TRUE(TransferTest::ServersKnown()) << "NORVANE_SERVERS does not name servers.env";
    }
    void TearDown() override
    {
        downloader_.reset();
        ::CoUninitialize();
    }

    void Use(const std::wstring& portKey) { downloader_.reset(new HTTPFileDownloader(Entry(portKey))); }

    BOOL Transfer(const std::wstring& remoteName, DWORD expectedSize, DWORD expectedCrc = 0)
    {
        return transfer_.TransferFile(folder_.Path(), remoteName, L"local.bin", expectedSize, expectedCrc);
    }
    std::wstring LocalPath() const { return folder_ / L"local.bin"; }
    std::string LocalBytes() const { return TestSupport::ReadBytes(LocalPath()); }

    OnlineProbe online_;
    ScratchFolder folder_;
    ProgressWindow window_;
    std::unique_ptr<HTTPFileDownloader> downloader_;
    int sourceCalls_ = 0;
    CFileTransfer transfer_;
};

TEST_F(RealTransferTest, OneBlockFileArrivesWithItsCrc)
{
    Use(L"HTTP_PORT");
    const std::string server = ServerFile(L"files\\file8192.bin");
    ASSERT_EQ(8192u, server.size());
    const DWORD crc = Crc32(server);
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(1, Transfer(L"files/file8192.bin", 8192, crc));
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{8192, 8192}};
    EXPECT_EQ(expected, window_.Messages());
    EXPECT_EQ(server, LocalBytes());
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos,
              log.find(L"\tFile download success:\tfiles/file8192.bin, " + std::to_wstring(crc) + L"\r\n"))
        << log;
}

TEST_F(RealTransferTest, EmptyFileSendsNoRequest)
{
    Use(L"HTTP_PORT");
    const unsigned before = TransferTest::AccessLogCount("\n");
    EXPECT_EQ(1, Transfer(L"files/empty.bin", 0));
    EXPECT_EQ(before, TransferTest::AccessLogCount("\n"));
    EXPECT_EQ(0, sourceCalls_);
    EXPECT_TRUE(window_.Messages().empty());
}

TEST_F(RealTransferTest, SeveralMegabytesArriveWhole)
{
    Use(L"HTTP_PORT");
    const std::string server = ServerFile(L"files\\big.bin");
    ASSERT_GT(server.size(), 1024u * 1024u);
    const DWORD size = static_cast<DWORD>(server.size());
    EXPECT_EQ(1, Transfer(L"files/big.bin", size, Crc32(server)));
    const std::vector<std::pair<WPARAM, LPARAM>> messages = window_.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(static_cast<WPARAM>(size), messages.back().first);
    EXPECT_EQ(static_cast<LPARAM>(size), messages.back().second);
    for (std::size_t i = 1; i < messages.size(); ++i)
        EXPECT_LT(messages[i - 1].first, messages[i].first);
    EXPECT_TRUE(server == LocalBytes());
}

TEST_F(RealTransferTest, ListedSizeThatDiffersFromTheServersFails)
{
    Use(L"HTTP_PORT");
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, Transfer(L"files/file8192.bin", 8000));
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos, log.find(Header(L"files/file8192.bin", 8000, 8192))) << log;
    EXPECT_TRUE(window_.Messages().empty());
    EXPECT_EQ("", LocalBytes());
}

TEST_F(RealTransferTest, MissingFileIsReportedAsNotOnTheServer)
{
    Use(L"HTTP_PORT");
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, Transfer(L"files/missing.bin", 100));
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos, log.find(L"\r\nFile download errors\r\n\tFilename: files/missing.bin\r\n")) << log;
    EXPECT_NE(std::wstring::npos,
              log.find(L"\r\nResult of file download: Likely error; The file does not exist on the update server!\r\n"))
        << log;
}

TEST_F(RealTransferTest, DroppedConnectionReportsTheBytesReceived)
{
    Use(L"MISBEHAVING_PORT");
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, Transfer(L"drop.bin", 100000));
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos, log.find(Header(L"drop.bin", 100000, 30000))) << log;
    EXPECT_TRUE(Pattern(30000) == LocalBytes());
    const std::vector<std::pair<WPARAM, LPARAM>> messages = window_.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(30000u, messages.back().first);
}

TEST_F(RealTransferTest, DroppedConnectionWhileOfflineSaysTheConnectionWasLost)
{
    Use(L"MISBEHAVING_PORT");
    TransferTest::OfflineProbe offline;
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, Transfer(L"drop.bin", 100000));
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos, log.find(L"\r\nInternet connection lost during update.\r\n")) << log;
    EXPECT_NE(std::wstring::npos,
              log.find(L"\r\nResult of file download: You appear to have lost your internet connection! "
                       L"This update will continue next time an internet connection is available from "
                       L"the same file position.\r\n"))
        << log;
    EXPECT_NE(std::wstring::npos, log.find(Header(L"drop.bin", 100000, 30000))) << log;
}

TEST_F(RealTransferTest, TooManyBytesKeepOnlyTheBlocksWithinTheListedSize)
{
    Use(L"MISBEHAVING_PORT");
    const DWORD listed = 10000;
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, Transfer(L"nolength.bin", listed));
    const std::wstring log = TestSupport::LogTextSince(mark);
    const std::wstring prefix = L"\r\nFile download errors\r\n\tFilename: nolength.bin\r\nExpected file size: 10000\r\n"
                                L"Actual file size: ";
    const std::wstring::size_type at = log.find(prefix);
    ASSERT_NE(std::wstring::npos, at) << log;
    const unsigned long actual = std::stoul(log.substr(at + prefix.size()));
    const std::string local = LocalBytes();
    EXPECT_LE(local.size(), listed);
    EXPECT_GT(actual, listed);
    EXPECT_LE(actual - local.size(), CFileTransfer::kBufferSize);
    EXPECT_TRUE(Pattern(local.size()) == local);
    const std::vector<std::pair<WPARAM, LPARAM>> messages = window_.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(static_cast<WPARAM>(local.size()), messages.back().first);
}

// Points this prefix's preconfigured proxy at `server` while it lives; the previous values
// of the user's Internet Settings come back afterwards.
class PreconfiguredProxy {
public:
    explicit PreconfiguredProxy(const std::wstring& server)
    {
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                              nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        Save(L"ProxyEnable", enable_);
        Save(L"ProxyServer", server_);
        const DWORD one = 1;
        set_ = ::RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                                sizeof(one)) == ERROR_SUCCESS &&
               ::RegSetValueExW(key_, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                                static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~PreconfiguredProxy()
    {
        if (key_ == nullptr)
            return;
        Restore(L"ProxyEnable", enable_);
        Restore(L"ProxyServer", server_);
        ::RegCloseKey(key_);
    }
    PreconfiguredProxy(const PreconfiguredProxy&) = delete;
    PreconfiguredProxy& operator=(const PreconfiguredProxy&) = delete;
    bool Set() const { return set_; }

private:
    struct Value {
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

    void Save(const wchar_t* name, Value& value)
    {
        DWORD size = 0;
        if (::RegQueryValueExW(key_, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
            return;
        value.data.resize(size);
        value.present = ::RegQueryValueExW(key_, name, nullptr, &value.type, value.data.data(), &size) ==
                        ERROR_SUCCESS;
    }
    void Restore(const wchar_t* name, const Value& value)
    {
        if (value.present)
            ::RegSetValueExW(key_, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
        else
            ::RegDeleteValueW(key_, name);
    }

    HKEY key_ = nullptr;
    bool set_ = false;
    Value enable_;
    Value server_;
};

TEST_F(RealTransferTest, ProxyChallengeWithoutRememberedUserTerminates)
{
    const std::wstring proxyPort = ServerValue(L"PROXY_PORT");
    if (proxyPort.empty())
        GTEST_SKIP() << "no local proxy was started";
    const PreconfiguredProxy proxy(L"127.0.0.1:" + proxyPort);
    ASSERT_TRUE(proxy.Set());
    // A server no other test has reached: only the proxy answers for it.
    Use(L"CLOSED_PORT");
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_EQ(0, downloader_->Connect());
    const std::wstring log = TestSupport::LogTextSince(mark);
    EXPECT_NE(std::wstring::npos, log.find(L"Display of proxy window will not occur. Terminating...")) << log;
    downloader_.reset();
}

} // namespace
