#include "core/EnvironmentFacts.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct SystemCase {
    unsigned long platform, major, minor;
    bool recognised;
    uint32_t code;
    const wchar_t* name;
};

class SystemClassification : public ::testing::TestWithParam<SystemCase> {};

TEST_P(SystemClassification, GivesCodeAndName)
{
    const SystemCase& c = GetParam();
    uint32_t code = 0;
    std::wstring name = L"unknown";
    EXPECT_EQ(c.recognised, EnvironmentFacts::Classify(c.platform, c.major, c.minor, code, name));
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(std::wstring(c.name), name);
}

INSTANTIATE_TEST_SUITE_P(Versions, SystemClassification, ::testing::Values(
    SystemCase{1, 4, 0, true, 1, L"Windows 95"},
    SystemCase{1, 4, 10, true, 2, L"Windows 98"},
    SystemCase{1, 4, 90, true, 2, L"Windows Me"},
    SystemCase{1, 4, 20, false, 0, L"unknown"},
    SystemCase{2, 3, 51, true, 4, L"Windows NT"},
    SystemCase{2, 4, 0, true, 4, L"Windows NT"},
    SystemCase{2, 5, 0, true, 8, L"Windows 2000"},
    SystemCase{2, 5, 1, true, 16, L"Windows XP"},
    SystemCase{2, 5, 2, true, 32, L"Windows 2003"},
    SystemCase{2, 5, 3, false, 0, L"unknown"},
    SystemCase{2, 6, 0, true, 64, L"Windows Vista"},
    SystemCase{2, 6, 1, false, 0, L"unknown"},
    SystemCase{2, 10, 0, false, 0, L"unknown"},
    SystemCase{3, 1, 0, true, 127, L""}));

TEST(EnvironmentFacts, AgreesWithTheSystemsOwnVersion)
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExW(&info));
    uint32_t expectedCode = 0;
    std::wstring expectedName = L"unknown";
    EnvironmentFacts::Classify(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, expectedCode, expectedName);

    EnvironmentFacts facts;
    EXPECT_EQ(expectedCode, facts.OsCode());
    EXPECT_EQ(expectedName, facts.OsName());
    EXPECT_EQ(expectedCode, facts.OsCode());
}

TEST(EnvironmentFacts, UserNameIsTheLoggedOnUser)
{
    wchar_t name[260] = {};
    DWORD size = 260;
    ASSERT_TRUE(::GetUserNameW(name, &size));
    EnvironmentFacts facts;
    EXPECT_EQ(std::wstring(name), facts.UserName());
}

// Only where the host's own name resolves locally: the tests make no name lookups elsewhere.
TEST(EnvironmentFacts, HostNameAndAddressWhenTheHostsFileKnowsTheName)
{
    wchar_t computer[256] = {};
    DWORD size = 256;
    ::GetComputerNameExW(ComputerNameDnsHostname, computer, &size);
    const std::string hosts = TestSupport::ReadBytes(L"Z:\\etc\\hosts");
    std::string narrow;
    for (const wchar_t* c = computer; *c; ++c)
        narrow += static_cast<char>(*c);
    if (narrow.empty() || hosts.find(narrow) == std::string::npos)
        GTEST_SKIP() << "the host name is not in the hosts file";
    EnvironmentFacts facts;
    EXPECT_FALSE(facts.HostName().empty());
    const std::wstring address = facts.IpAddress();
    EXPECT_EQ(3, std::count(address.begin(), address.end(), L'.')) << address.c_str();
}

} // namespace
