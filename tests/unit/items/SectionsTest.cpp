#include "items/DownloadRegistry.h"
#include "items/DownloadService.h"
#include "items/DownloadShortcut.h"

#include "ItemsTestSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ItemsTest::LogWatch;

template <typename Section>
BOOL ParseInto(Section& section, const std::wstring& markup)
{
    Common::ComPtr<IXMLDOMDocument> document;
    const Common::ComPtr<IXMLDOMNode> element =
        ItemsTest::ParseElement(L"<Norvane>" + markup + L"</Norvane>", L"Norvane/" + section.SectionName(), document);
    if (!element)
        return FALSE;
    return section.ParseSection(element.Get(), std::wstring());
}

std::wstring SpecialFolder(int code)
{
    wchar_t path[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, path, code, FALSE);
    return path;
}

class SectionsTest : public ::testing::Test {
protected:
    ItemsTest::ComApartment apartment_;
};

TEST_F(SectionsTest, ServiceActionsCarryTheirPhase)
{
    DownloadService services;
    LogWatch watch;
    ASSERT_TRUE(ParseInto(services,
                          L"<ServiceManager><RunAt Name=\"OnUpdateFilesReadyScreen\"><Execute Name=\"Spooler\" Action=\"Stop\"/>"
                          L"</RunAt><RunAt><Execute Name=\"lost\" Action=\"start\"/></RunAt>"
                          L"<Execute Name=\"outside\" Action=\"start\"/>"
                          L"<RunAt Name=\"OnUpdateProcessComplete\"><Execute Name=\"Spooler\" Action=\"restart\"/></RunAt>"
                          L"</ServiceManager>"));
    ASSERT_EQ(3u, services.Entries().size());
    EXPECT_EQ(L"Spooler", services.Entries()[0].serviceName);
    EXPECT_EQ(L"Stop", services.Entries()[0].action);
    EXPECT_EQ(L"OnUpdateFilesReadyScreen", services.Entries()[0].phase);
    EXPECT_EQ(L"OnUpdateProcessComplete", services.Entries()[1].phase);
    EXPECT_EQ(L"outside", services.Entries()[2].serviceName);
    EXPECT_EQ(L"", services.Entries()[2].phase);
    EXPECT_EQ(L"\tPhase not found for a service execution item. Item ignored.\r\n", watch.Added());
}

TEST_F(SectionsTest, RegistryValuesFollowTheValuesOfTheirSubKeys)
{
    DownloadRegistry registry;
    ASSERT_TRUE(ParseInto(registry,
                          L"<Registry><Key Name=\"HKEY_CURRENT_USER\"><Key Name=\"Software\"><Key Name=\"Norvane\">"
                          L"<Value Name=\"(Default)\" Action=\"Add REG_SZ word\"/></Key>"
                          L"<Value Name=\"v1\" Action=\"Delete\"/></Key><Key><Value Name=\"lost\"/></Key>"
                          L"<Value Name=\"v2\" Action=\"Create\"/></Key></Registry>"));
    struct Expected { const wchar_t* key; const wchar_t* action; const wchar_t* value; };
    const Expected expected[] = {
        {L"HKEY_CURRENT_USER\\Software\\Norvane", L"Add REG_SZ word", L"(Default)"},
        {L"HKEY_CURRENT_USER\\Software", L"Delete", L"v1"},
        {L"HKEY_CURRENT_USER", L"Create", L"v2"},
    };
    ASSERT_EQ(3u, registry.Entries().size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(expected[i].key, registry.Entries()[i].keyPath) << i;
        EXPECT_EQ(expected[i].action, registry.Entries()[i].action) << i;
        EXPECT_EQ(expected[i].value, registry.Entries()[i].valueName) << i;
    }
}

TEST_F(SectionsTest, ShortcutPathsHaveTheirTagsTranslated)
{
    DownloadShortcut shortcuts;
    ASSERT_TRUE(ParseInto(shortcuts,
                          L"<Shortcut><Directory Name=\"&lt;Desktop>\"><Directory Name=\"Tools\">"
                          L"<File Name=\"Tool.lnk\" Target=\"&lt;WinDir>\\notepad.exe\" IconSource=\"&lt;SystemDir>\\shell32.dll\""
                          L" IconIndex=\"3\" Description=\"A tool\"/></Directory>"
                          L"<File Name=\"App.lnk\" Target=\"C:\\App\\app.exe\" IconIndex=\"\"/></Directory></Shortcut>"));
    ASSERT_EQ(2u, shortcuts.Entries().size());
    const ShortcutEntry& tool = shortcuts.Entries()[0];
    EXPECT_EQ(SpecialFolder(CSIDL_DESKTOP) + L"\\Tools\\Tool.lnk", tool.linkPath);
    EXPECT_EQ(SpecialFolder(CSIDL_WINDOWS) + L"\\notepad.exe", tool.target);
    EXPECT_EQ(SpecialFolder(CSIDL_SYSTEM) + L"\\shell32.dll", tool.iconSource);
    EXPECT_EQ(3, tool.iconIndex);
    EXPECT_EQ(L"A tool", tool.description);
    const ShortcutEntry& app = shortcuts.Entries()[1];
    EXPECT_EQ(SpecialFolder(CSIDL_DESKTOP) + L"\\App.lnk", app.linkPath);
    EXPECT_EQ(L"", app.iconSource);
    EXPECT_EQ(0, app.iconIndex);
}

std::wstring NoFolder(const std::wstring&)
{
    return std::wstring();
}

TEST_F(SectionsTest, AFailingShortcutTagStopsTheShortcutSection)
{
    DownloadShortcut shortcuts;
    shortcuts.SetTagTranslator(NoFolder);
    LogWatch watch;
    EXPECT_FALSE(ParseInto(shortcuts, L"<Shortcut><Directory Name=\"&lt;Desktop>\"><File Name=\"a.lnk\"/></Directory>"
                                      L"<File Name=\"b.lnk\"/></Shortcut>"));
    EXPECT_TRUE(shortcuts.Entries().empty());
    EXPECT_EQ(L"\tDirectory tag translation failed:\t<Desktop>\r\n", watch.Added());
}

// Until these kinds are carried out, they must not report work they did not do.
TEST_F(SectionsTest, KindsNotYetCarriedOutSucceedOnlyWithNothingToDo)
{
    DownloadService services;
    DownloadShortcut shortcuts;
    EXPECT_TRUE(services.ProcessItems(L"OnWelcomeScreen"));
    EXPECT_TRUE(shortcuts.ProcessItems(L""));
    ASSERT_TRUE(ParseInto(services, L"<ServiceManager><RunAt Name=\"P\"><Execute Name=\"s\"/></RunAt></ServiceManager>"));
    ASSERT_TRUE(ParseInto(shortcuts, L"<Shortcut><File Name=\"C:\\x.lnk\"/></Shortcut>"));
    EXPECT_FALSE(services.ProcessItems(L"P"));
    EXPECT_FALSE(shortcuts.ProcessItems(L""));
}

} // namespace
