#include "items/DownloadExecute.h"
#include "items/NodeIterator.h"

#include "ItemsTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using ItemsTest::LogWatch;

// An OS attribute, or none at all.
struct OsAttribute {
    const char* name;
    const wchar_t* markup;
};

const OsAttribute kAttributes[] = {
    {"Os8", L" OS=\"8\""}, {"Os24", L" OS=\"24\""}, {"Os0", L" OS=\"0\""},
    {"OsAbc", L" OS=\"abc\""}, {"OsEmpty", L" OS=\"\""}, {"NoOs", L""},
};

struct FilterCase {
    uint32_t osCode;
    // Whether each attribute of kAttributes is taken on that system.
    bool taken[6];
};

class OsFilterTest : public ::testing::TestWithParam<FilterCase> {
protected:
    ItemsTest::ComApartment apartment_;
};

// Every element that carries an OS attribute the system does not share a bit with is passed
// over and logged under its Name; the rest are read in document order.
TEST_P(OsFilterTest, ElementsAreTakenWhenTheirOsSharesABitWithTheSystem)
{
    const FilterCase& c = GetParam();
    std::wstring markup = L"<Norvane><Execute><RunAt Name=\"P\">";
    for (const OsAttribute& attribute : kAttributes)
        markup += L"<Execute Name=\"" + std::wstring(attribute.name, attribute.name + std::strlen(attribute.name)) +
                  L"\"" + attribute.markup + L"/>";
    markup += L"</RunAt></Execute></Norvane>";

    const ScopedFilterOsCode code(c.osCode);
    Common::ComPtr<IXMLDOMDocument> document;
    const Common::ComPtr<IXMLDOMNode> element = ItemsTest::ParseElement(markup, L"Norvane/Execute", document);
    ASSERT_TRUE(element);
    DownloadExecute executions;
    LogWatch watch;
    ASSERT_TRUE(executions.ParseSection(element.Get(), std::wstring()));

    std::vector<std::wstring> expected;
    std::wstring expectedLog;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::wstring name(kAttributes[i].name, kAttributes[i].name + std::strlen(kAttributes[i].name));
        if (c.taken[i])
            expected.push_back(name);
        else
            expectedLog += L"\tItem skipped. Not targeted for this OS:\t" + name + L"\r\n";
    }
    std::vector<std::wstring> read;
    for (const ExecutionEntry& entry : executions.Entries())
        read.push_back(entry.command);
    EXPECT_EQ(expected, read);
    EXPECT_EQ(expectedLog, watch.Added());
}

INSTANTIATE_TEST_SUITE_P(Codes, OsFilterTest, ::testing::Values(
    //               8      24     0      abc    empty  none
    FilterCase{8,   {true,  true,  false, false, true,  true}},
    FilterCase{16,  {false, true,  false, false, true,  true}},
    FilterCase{64,  {false, false, false, false, true,  true}},
    FilterCase{127, {true,  true,  false, false, true,  true}},
    FilterCase{0,   {false, false, false, false, true,  true}}),
    [](const ::testing::TestParamInfo<FilterCase>& info) { return "Code" + std::to_string(info.param.osCode); });

TEST(OsFilterCode, TheOverrideEndsWithItsScope)
{
    const uint32_t system = NodeIterator::FilterOsCode();
    {
        const ScopedFilterOsCode outer(8);
        {
            const ScopedFilterOsCode inner(16);
            EXPECT_EQ(16u, NodeIterator::FilterOsCode());
        }
        EXPECT_EQ(8u, NodeIterator::FilterOsCode());
    }
    EXPECT_EQ(system, NodeIterator::FilterOsCode());
}

TEST(OsFilterCode, AttributeTextsReadAsDecimalNumbers)
{
    EXPECT_TRUE(NodeIterator::Targets(L"16", 16));
    EXPECT_TRUE(NodeIterator::Targets(L" 24", 16));
    EXPECT_FALSE(NodeIterator::Targets(L"0x10", 16)); // "0", then text
    EXPECT_TRUE(NodeIterator::Targets(L"127", 64));
    EXPECT_FALSE(NodeIterator::Targets(L"99999999999999999999", 0));
}

TEST(NodeIteratorTest, ReadsAttributesOfDirectChildrenOnly)
{
    ItemsTest::ComApartment apartment;
    Common::ComPtr<IXMLDOMDocument> document;
    const Common::ComPtr<IXMLDOMNode> element = ItemsTest::ParseElement(
        L"<r><c Name=\"one\" Extra=\"&lt;x&gt;\"><c Name=\"nested\"/></c><d Name=\"other\"/><c Name=\"two\"/></r>", L"r",
        document);
    ASSERT_TRUE(element);
    const ScopedFilterOsCode code(0);
    NodeIterator children(element.Get(), L"c");
    std::vector<std::wstring> names;
    while (children.Next())
        names.push_back(children.Attribute(L"Name") + L"|" + children.Attribute(L"Extra") + L"|" +
                        children.Attribute(L"name"));
    EXPECT_EQ((std::vector<std::wstring>{L"one|<x>|", L"two||"}), names);
    EXPECT_EQ(nullptr, children.Current());
}

TEST(NodeIteratorTest, ANullParentHasNoChildren)
{
    NodeIterator children(nullptr, L"c");
    EXPECT_FALSE(children.Next());
}

} // namespace
