// Runs in a program of its own that Wine reports as Windows XP (a per-program setting made by
// the test driver), so that the OS filter is seen reading the real system's code.
#include "items/DownloadExecute.h"
#include "items/NodeIterator.h"

#include "ItemsTestSupport.h"
#include "core/EnvironmentFacts.h"

#include <gtest/gtest.h>

namespace {

TEST(OsFilterOnXp, TheSystemCodeIsXp)
{
    EXPECT_EQ(static_cast<uint32_t>(EnvironmentFacts::WindowsXP), g_environmentFacts.OsCode());
    EXPECT_EQ(16u, NodeIterator::FilterOsCode());
}

TEST(OsFilterOnXp, ElementsForXpAreReadAndOthersSkipped)
{
    ItemsTest::ComApartment apartment;
    Common::ComPtr<IXMLDOMDocument> document;
    const Common::ComPtr<IXMLDOMNode> element = ItemsTest::ParseElement(
        L"<Norvane><Execute><RunAt Name=\"P\"><Execute Name=\"xp\" OS=\"16\"/><Execute Name=\"vista\" OS=\"64\"/>"
        L"<Execute Name=\"both\" OS=\"80\"/><Execute Name=\"any\"/></RunAt></Execute></Norvane>",
        L"Norvane/Execute", document);
    ASSERT_TRUE(element);
    DownloadExecute executions;
    ASSERT_TRUE(executions.ParseSection(element.Get(), std::wstring()));
    std::vector<std::wstring> read;
    for (const ExecutionEntry& entry : executions.Entries())
        read.push_back(entry.command);
    EXPECT_EQ((std::vector<std::wstring>{L"xp", L"both", L"any"}), read);
}

} // namespace
