#include <gtest/gtest.h>

#include "support/ProcessLog.h"
#include "TransferTestServers.h"
#include "common/FixedText.h"
#include "core/ConfigRecord.h"
#include "transfer/HTTPFileDownloader.h"
#include "transfer/ServerSelection.h"

#include <objbase.h>

#include <cstring>
#include <string>

using TransferTest::AccessLogCount;
using TransferTest::LocalAddress;
using TestSupport::LogMark;
using TestSupport::LogTextSince;
using TransferTest::ServerValue;

namespace {

BOOL Offline()
{
    ::SetLastError(ERROR_INTERNET_DISCONNECTED);
    return FALSE;
}

BOOL OfflineCheck(const wchar_t*)
{
    return Offline();
}

void FillBlock(ServerBlock& block, const std::wstring& hostPath, const std::wstring& port = L"")
{
    std::memset(&block, 0, sizeof block);
    Common::StoreFieldText(block.protocol, L"http://");
    Common::StoreFieldText(block.hostPath, hostPath);
    Common::StoreFieldText(block.port, port);
}

std::wstring Reachable(const std::wstring& path = L"/update.xml")
{
    return LocalAddress(L"HTTP_PORT") + path;
}

std::wstring Unreachable()
{
    return LocalAddress(L"CLOSED_PORT") + L"/update.xml";
}

const wchar_t kUnavailable[] = L"\tAn internet connection is unavailable.\r\n";

class ServerSelectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        saved_ = g_configRecord;
        std::memset(&g_configRecord, 0, sizeof g_configRecord);
        ResetServerSelection();
        ASSERT_TRUE(TransferTest::ServersKnown()) << "NORVANE_SERVERS does not name servers.env";
    }

    void TearDown() override
    {
        ResetServerSelection();
        g_configRecord = saved_;
        ::CoUninitialize();
    }

    ConfigRecord saved_;
};

TEST_F(ServerSelectionTest, ReachablePrimaryIsConnectedOnce)
{
    FillBlock(g_configRecord.primary, Reachable(L"/counted/update.xml"));
    FillBlock(g_configRecord.backup, Unreachable());
    g_configRecord.backupListed = 1;
    const std::string request = "\"GET /counted/update.xml ";
    const unsigned before = AccessLogCount(request);
    const std::size_t mark = LogMark();

    int32_t available = 0;
    IFileDownloader* first = SelectServer(available);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(1, available);
    available = 0;
    EXPECT_EQ(first, SelectServer(available));
    EXPECT_EQ(1, available);
    EXPECT_EQ(first, BuildServerDownloader(1));
    EXPECT_EQ(before + 1, AccessLogCount(request));
    EXPECT_EQ(std::wstring(), LogTextSince(mark));
}

TEST_F(ServerSelectionTest, PortWrittenInTheAddressWins)
{
    FillBlock(g_configRecord.primary, Reachable(), L"81");
    int32_t available = 0;
    IFileDownloader* selected = SelectServer(available);
    ASSERT_NE(nullptr, selected);
    EXPECT_EQ(1, available);
    EXPECT_EQ(std::wstring(), selected->Entry().port);
    EXPECT_EQ(L"http://" + Reachable(), selected->GetDescriptionUrl());
}

TEST_F(ServerSelectionTest, SeparateFilesLocationIsTakenFromTheRecord)
{
    ServerBlock& block = g_configRecord.primary;
    FillBlock(block, L"host/dir/update.xml", L"8080");
    Common::StoreFieldText(block.filesProtocol, L"http://");
    Common::StoreFieldText(block.filesHostPath, L"files:81/updates");
    Common::StoreFieldText(block.filesPort, L"82");
    Common::StoreFieldText(block.filesUserName, L"reader");
    block.hasFilesLocation = 1;
    IFileDownloader* primary = BuildServerDownloader(1);
    ASSERT_NE(nullptr, primary);
    EXPECT_EQ(L"8080", primary->Entry().port);
    EXPECT_EQ(std::wstring(), primary->Entry().filesPort);
    EXPECT_EQ(L"reader", primary->Entry().filesUserName);
    EXPECT_EQ(L"http://files:81/updates", primary->GetFilesUrl());
}

TEST_F(ServerSelectionTest, UnreachablePrimarySwitchesToTheBackup)
{
    FillBlock(g_configRecord.primary, Unreachable());
    FillBlock(g_configRecord.backup, Reachable());
    g_configRecord.backupListed = 1;
    const std::size_t mark = LogMark();

    int32_t available = 0;
    IFileDownloader* backup = SelectServer(available);
    ASSERT_NE(nullptr, backup);
    EXPECT_EQ(1, available);
    EXPECT_EQ(L"http://" + Reachable(), backup->GetDescriptionUrl());
    const std::wstring log = LogTextSince(mark);
    const std::wstring::size_type primaryError =
        log.find(L"\tPrimary server error:\thttp://" + Unreachable() + L"\r\n");
    const std::wstring::size_type failed =
        log.find(L"\tThe connection to the primary file server has failed.\r\n\r\n");
    const std::wstring::size_type switched = log.find(L"\tUsing backup server connections.\r\n");
    ASSERT_NE(std::wstring::npos, primaryError);
    ASSERT_NE(std::wstring::npos, failed);
    ASSERT_NE(std::wstring::npos, switched);
    EXPECT_LT(primaryError, failed);
    EXPECT_LT(failed, switched);

    available = 0;
    EXPECT_EQ(backup, SelectServer(available));
    EXPECT_EQ(1, available);
}

TEST_F(ServerSelectionTest, UnreachablePrimaryWithoutBackupGivesNull)
{
    FillBlock(g_configRecord.primary, Unreachable());
    const std::size_t mark = LogMark();
    int32_t available = 0;
    EXPECT_EQ(nullptr, SelectServer(available));
    EXPECT_EQ(1, available);
    const std::wstring log = LogTextSince(mark);
    const std::wstring tail = L"\tPrimary server error:\thttp://" + Unreachable() + L"\r\n"
        L"\tThe connection to the primary file server has failed.\r\n\r\n"
        L"\tNo backup server listed.\r\n"
        L"\r\nVerify internet/network connection and try again.\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(tail, log.substr(log.size() - tail.size()));

    available = 1;
    EXPECT_EQ(nullptr, SelectServer(available));
    EXPECT_EQ(0, available);
}

TEST_F(ServerSelectionTest, BothUnreachableKeepsTheFailedBackup)
{
    FillBlock(g_configRecord.primary, Unreachable());
    FillBlock(g_configRecord.backup, Unreachable());
    g_configRecord.backupListed = 1;
    const std::size_t mark = LogMark();
    int32_t available = 0;
    EXPECT_EQ(nullptr, SelectServer(available));
    const std::wstring log = LogTextSince(mark);
    const std::wstring tail = L"\tBackup server error:\thttp://" + Unreachable() + L"\r\n"
        L"\tThe connection to the backup file server has failed.\r\n\r\n";
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(tail, log.substr(log.size() - tail.size()));

    available = 0;
    IFileDownloader* backup = SelectServer(available);
    EXPECT_NE(nullptr, backup);
    EXPECT_EQ(1, available);
    EXPECT_EQ(backup, BuildServerDownloader(0));
}

TEST_F(ServerSelectionTest, OfflineMachineIsReported)
{
    const ConnectivityProbe previous = SetConnectivityProbe(ConnectivityProbe{Offline, OfflineCheck});
    FillBlock(g_configRecord.primary, Reachable());
    FillBlock(g_configRecord.backup, Reachable());
    g_configRecord.backupListed = 1;
    const std::size_t mark = LogMark();
    int32_t available = 1;
    IFileDownloader* first = SelectServer(available);
    SetConnectivityProbe(previous);

    EXPECT_EQ(nullptr, first);
    EXPECT_EQ(0, available);
    const std::wstring log = LogTextSince(mark);
    const std::wstring::size_type primaryError = log.find(L"\tPrimary server error:\t");
    const std::wstring::size_type firstUnavailable = log.find(kUnavailable, primaryError);
    const std::wstring::size_type backupError = log.find(L"\tBackup server error:\t");
    ASSERT_NE(std::wstring::npos, primaryError);
    ASSERT_NE(std::wstring::npos, firstUnavailable);
    ASSERT_NE(std::wstring::npos, backupError);
    EXPECT_LT(firstUnavailable, backupError);
    EXPECT_NE(std::wstring::npos, log.find(kUnavailable, backupError));

    EXPECT_NE(nullptr, SelectServer(available));
    EXPECT_EQ(1, available);
}

TEST_F(ServerSelectionTest, UnlistedBackupIsNotBuilt)
{
    FillBlock(g_configRecord.backup, Reachable());
    EXPECT_EQ(nullptr, BuildServerDownloader(0));
}

} // namespace
