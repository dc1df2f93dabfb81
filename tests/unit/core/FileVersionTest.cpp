#include <gtest/gtest.h>

#include "common/ModulePath.h"
#include "core/FileVersion.h"

#include <string>

namespace {

struct VersionCase {
    const wchar_t* a;
    const wchar_t* b;
    int expected;
};

const VersionCase kVersionCases[] = {
    {L"1.2.10", L"1.2.9", 1},
    {L"1.2.9", L"1.2.10", -1},
    {L"1.2", L"1.2.0.0", 0},
    {L"1.10", L"1.9.9.9", 1},
    {L"2", L"1.99.99.99", 1},
    {L"1..2", L"1.2", 0},             // repeated dots count as one
    {L".1.2.", L"1.2", 0},
    {L"1.2.3.4.5", L"1.2.3.4", -21},  // five parts
    {L"1.2.3.4", L"1.2.3.4.5", -22},
    {L"1.2.x", L"1.2", -21},          // letters
    {L"1.2", L"1.2b", -22},
    {L"", L"1.0", -21},               // empty
    {L"1.0", L"", -22},
    {L"...", L"1.0", -21},
    {L"1.0", L"0", 1},
    {L"0", L"0.0.0.0", 0},
    {L"1.0.0.1", L"1.0.0.0", 1},
    {L"1.2 ", L"1.2", -21},           // a blank is not a digit
};

} // namespace

TEST(CompareVersions, TableOfCases)
{
    for (const VersionCase& c : kVersionCases)
        EXPECT_EQ(c.expected, CompareVersions(c.a, c.b)) << "a=\"" << std::string(c.a, c.a + wcslen(c.a))
                                                         << "\" b=\"" << std::string(c.b, c.b + wcslen(c.b)) << '"';
}

TEST(FileVersionText, ReadsTheClientsFourPartVersion)
{
    const std::wstring client = Common::ModuleFolder() + L"norvaneclient.exe";
    EXPECT_EQ(L"1.0.0.1", FileVersionText(client));
}

TEST(FileVersionText, IsEmptyWithoutAVersionResource)
{
    EXPECT_EQ(std::wstring(), FileVersionText(Common::ModulePath())); // the test program has none
    EXPECT_EQ(std::wstring(), FileVersionText(Common::ModuleFolder() + L"no-such-file.exe"));
}
