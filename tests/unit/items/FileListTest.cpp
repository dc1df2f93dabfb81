#include "items/DownloadFile.h"
#include "items/UpdateItems.h"

#include "ItemsTestSupport.h"
#include "common/ModulePath.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ItemsTest::Escaped;
using ItemsTest::LogWatch;
using TestSupport::ScratchFolder;

bool Logged(const std::wstring& log, const std::wstring& line)
{
    return log.find(L"\t" + line + L"\r\n") != std::wstring::npos;
}

std::wstring NoFolder(const std::wstring&)
{
    return std::wstring();
}

class FileListTest : public ::testing::Test {
protected:
    FileListTest()
    {
        base_ = folder_.Path().substr(0, folder_.Path().size() - 1);
        download_ = folder_ / L"download";
        ::CreateDirectoryW(download_.c_str(), nullptr);
        list_.SetDownloadFolder(download_);
    }

    BOOL Parse(const std::wstring& inner)
    {
        Common::ComPtr<IXMLDOMDocument> document;
        const Common::ComPtr<IXMLDOMNode> element =
            ItemsTest::ParseElement(L"<Norvane><FileList>" + inner + L"</FileList></Norvane>", L"Norvane/FileList", document);
        if (!element)
            return FALSE;
        return list_.ParseSection(element.Get(), std::wstring());
    }

    // A Directory element naming the scratch folder.
    std::wstring InScratch(const std::wstring& inner) const
    {
        return L"<Directory Name=\"" + Escaped(base_) + L"\">" + inner + L"</Directory>";
    }

    std::vector<std::wstring> LocalPaths() const
    {
        std::vector<std::wstring> paths;
        for (const FileEntry& entry : list_.Entries())
            paths.push_back(entry.localPath);
        return paths;
    }

    ItemsTest::ComApartment apartment_;
    ScratchFolder folder_;
    std::wstring base_;      // the scratch folder without its trailing backslash
    std::wstring download_;
    DownloadFile list_;
};

TEST_F(FileListTest, ReadsEveryAttributeOfAFile)
{
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"a.dll\" Src=\"bin/\" Size=\"1234\" CRC=\"DEADbeef\" Unzip=\"TRUE\""
                                L" Register=\"true\" Hidden=\"True\" ReadOnly=\"tRUE\"/>")));
    ASSERT_EQ(1u, list_.Entries().size());
    const FileEntry& entry = list_.Entries()[0];
    EXPECT_EQ(folder_ / L"a.dll", entry.localPath);
    EXPECT_EQ(L"bin/a.dll", entry.remotePath);
    EXPECT_EQ(L"UpdateFile1", entry.temporaryName);
    EXPECT_EQ(1234, entry.size);
    EXPECT_EQ(0xDEADBEEFu, entry.crc);
    EXPECT_TRUE(entry.download);
    EXPECT_FALSE(entry.alreadyDownloaded);
    EXPECT_TRUE(entry.unzip);
    EXPECT_TRUE(entry.registerServer);
    EXPECT_TRUE(entry.hidden);
    EXPECT_TRUE(entry.readOnly);
    EXPECT_EQ(1234u, list_.TotalSize());
}

TEST_F(FileListTest, FlagsOtherThanTrueAreFalse)
{
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"a\" Size=\"1\" Unzip=\"yes\" Register=\"1\" Hidden=\"True \"/>")));
    ASSERT_EQ(1u, list_.Entries().size());
    EXPECT_FALSE(list_.Entries()[0].unzip);
    EXPECT_FALSE(list_.Entries()[0].registerServer);
    EXPECT_FALSE(list_.Entries()[0].hidden);
    EXPECT_FALSE(list_.Entries()[0].readOnly);
}

TEST_F(FileListTest, DirectoryFilesComeFirstAndNumbersCountKeptEntries)
{
    ASSERT_TRUE(Parse(L"<File Name=\"top.txt\" Size=\"3\"/>" +
                      InScratch(L"<File Name=\"one.txt\" Size=\"1\"/><File Name=\"zero.txt\" Size=\"0\"/>"
                                L"<Directory Name=\"sub\\\\\"><File Name=\"deep.txt\" Size=\"4\"/></Directory>"
                                L"<File Name=\"two.txt\" Size=\"2\"/>")));
    const std::vector<std::wstring> expected = {folder_ / L"sub\\deep.txt", folder_ / L"one.txt", folder_ / L"two.txt",
                                                L"\\top.txt"};
    EXPECT_EQ(expected, LocalPaths());
    std::vector<std::wstring> names;
    for (const FileEntry& entry : list_.Entries())
        names.push_back(entry.temporaryName);
    EXPECT_EQ((std::vector<std::wstring>{L"UpdateFile1", L"UpdateFile2", L"UpdateFile3", L"UpdateFile4"}), names);
    EXPECT_EQ(10u, list_.TotalSize());
}

TEST_F(FileListTest, ATagNamesTheBaseFolder)
{
    ASSERT_TRUE(Parse(L"<Directory Name=\"&lt;ApplicationDir>\"><Directory Name=\"plugins\">"
                      L"<File Name=\"p.dll\" Size=\"5\"/></Directory><File Name=\"app.exe\" Size=\"6\"/></Directory>"));
    const std::vector<std::wstring> expected = {Common::ModuleFolder() + L"plugins\\p.dll",
                                                Common::ModuleFolder() + L"app.exe"};
    EXPECT_EQ(expected, LocalPaths());
}

TEST_F(FileListTest, IgnoreIfMissingPassesOverAbsentFilesSilently)
{
    TestSupport::WriteBytes(folder_ / L"present.txt", "x");
    LogWatch watch;
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"absent.txt\" Size=\"5\" IgnoreIfMissing=\"true\"/>"
                                L"<File Name=\"present.txt\" Size=\"5\" IgnoreIfMissing=\"True\"/>"
                                L"<File Name=\"absent2.txt\" Size=\"5\" IgnoreIfMissing=\"no\"/>")));
    const std::vector<std::wstring> expected = {folder_ / L"present.txt", folder_ / L"absent2.txt"};
    EXPECT_EQ(expected, LocalPaths());
    EXPECT_EQ(std::wstring::npos, watch.Added().find(L"absent.txt")) << watch.Added();
    EXPECT_EQ(L"UpdateFile2", list_.Entries()[1].temporaryName);
}

TEST_F(FileListTest, ZeroSizeEntriesAreLeftOutAndLogged)
{
    LogWatch watch;
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"empty.txt\" Size=\"0\"/><File Name=\"full.txt\" Size=\"7\"/>")));
    ASSERT_EQ(1u, list_.Entries().size());
    EXPECT_EQ(L"UpdateFile1", list_.Entries()[0].temporaryName);
    EXPECT_TRUE(Logged(watch.Added(), L"Zero byte file will not be retrieved:\t" + folder_ / L"empty.txt"));
}

TEST_F(FileListTest, AnEarlierDownloadIsKeptButNotCounted)
{
    TestSupport::WriteBytes(download_ + L"\\UpdateFile1", "12345");
    TestSupport::WriteBytes(download_ + L"\\UpdateFile2", "1234");
    LogWatch watch;
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"done.txt\" Size=\"5\"/><File Name=\"partial.txt\" Size=\"5\"/>")));
    ASSERT_EQ(2u, list_.Entries().size());
    EXPECT_TRUE(list_.Entries()[0].alreadyDownloaded);
    EXPECT_FALSE(list_.Entries()[1].alreadyDownloaded);
    EXPECT_EQ(5u, list_.TotalSize());
    EXPECT_TRUE(Logged(watch.Added(), L"File already downloaded")) << watch.Added();
}

TEST_F(FileListTest, ACrcWithoutByCrcIsKeptButNotCompared)
{
    TestSupport::WriteBytes(folder_ / L"same.txt", "123456789");
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"same.txt\" Size=\"9\" CRC=\"CBF43926\"/>"
                                L"<File Name=\"same.txt\" Size=\"9\" CRC=\"CBF43926\" ByCRC=\"true\"/>")));
    ASSERT_EQ(1u, list_.Entries().size());
    EXPECT_EQ(0xCBF43926u, list_.Entries()[0].crc);
}

TEST_F(FileListTest, AFailingTagStopsTheListButKeepsWhatWasRead)
{
    list_.SetTagTranslator(NoFolder);
    LogWatch watch;
    EXPECT_FALSE(Parse(InScratch(L"<File Name=\"kept.txt\" Size=\"1\"/>") +
                       L"<Directory Name=\"&lt;Nowhere>\"><File Name=\"lost.txt\" Size=\"1\"/></Directory>"
                       L"<File Name=\"top.txt\" Size=\"1\"/>"));
    EXPECT_EQ(std::vector<std::wstring>{folder_ / L"kept.txt"}, LocalPaths());
    EXPECT_TRUE(Logged(watch.Added(), L"Directory tag translation failed:\t<Nowhere>")) << watch.Added();
}

TEST(UpdateItemsSections, AFailingFileListDoesNotStopTheOtherSections)
{
    ItemsTest::ComApartment apartment;
    UpdateItems items;
    items.FileList().SetTagTranslator(NoFolder);
    const Common::ComPtr<IXMLDOMDocument> document = ItemsTest::ParseDocument(
        L"<Norvane><FileList><Directory Name=\"&lt;Nowhere>\"/><File Name=\"f\" Size=\"1\"/></FileList>"
        L"<Execute><RunAt Name=\"OnWelcomeScreen\"><Execute Name=\"x.exe\"/></RunAt></Execute>"
        L"<ServiceManager><RunAt Name=\"OnUpdateFilesReadyScreen\"><Execute Name=\"svc\" Action=\"stop\"/></RunAt>"
        L"</ServiceManager>"
        L"<Registry><Key Name=\"HKEY_CURRENT_USER\"><Value Name=\"v\" Action=\"Delete\"/></Key></Registry>"
        L"<Shortcut><File Name=\"C:\\l.lnk\" Target=\"C:\\t.exe\"/></Shortcut></Norvane>");
    ASSERT_TRUE(document);
    EXPECT_TRUE(items.ParseAllSections(document.Get()));
    EXPECT_TRUE(items.FileList().Entries().empty());
    EXPECT_EQ(1u, items.Executions().Entries().size());
    EXPECT_EQ(1u, items.Services().Entries().size());
    EXPECT_EQ(1u, items.Registry().Entries().size());
    EXPECT_EQ(1u, items.Shortcuts().Entries().size());
}

TEST(UpdateItemsSections, SectionNamesAreCaseSensitive)
{
    ItemsTest::ComApartment apartment;
    UpdateItems items;
    const Common::ComPtr<IXMLDOMDocument> document = ItemsTest::ParseDocument(
        L"<Norvane><filelist><File Name=\"f\" Size=\"1\"/></filelist><FileList><file Name=\"g\" Size=\"1\"/>"
        L"</FileList></Norvane>");
    ASSERT_TRUE(document);
    EXPECT_TRUE(items.ParseAllSections(document.Get()));
    EXPECT_TRUE(items.FileList().Entries().empty());
}

// Descriptions are external input: nothing in them may crash the client or corrupt the totals.
TEST_F(FileListTest, ThousandsOfEntriesAreAllRead)
{
    std::wstring files;
    for (int i = 0; i < 3000; ++i)
        files += L"<File Name=\"f" + std::to_wstring(i) + L"\" Size=\"2\"/>";
    ASSERT_TRUE(Parse(InScratch(files)));
    ASSERT_EQ(3000u, list_.Entries().size());
    EXPECT_EQ(L"UpdateFile3000", list_.Entries().back().temporaryName);
    EXPECT_EQ(6000u, list_.TotalSize());
}

TEST_F(FileListTest, HugeAttributeTextsAreHandled)
{
    const std::wstring longName(70000, L'n');
    const std::wstring longText(70000, L'9');
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"" + longName + L"\" Size=\"3\" ByVersion=\"" + longText + L"\" ByDate=\"" +
                                longText + L"\" CRC=\"" + longText + L"\" ByCRC=\"True\" Src=\"" + longText + L"\"/>")));
    ASSERT_EQ(1u, list_.Entries().size());
    EXPECT_EQ(folder_ / longName, list_.Entries()[0].localPath);
    EXPECT_EQ(longText + longName, list_.Entries()[0].remotePath);
    EXPECT_EQ(0u, list_.Entries()[0].crc); // too long for 32 bits
}

TEST_F(FileListTest, MissingAttributesMeanAnEmptyFileAtTheRoot)
{
    LogWatch watch;
    ASSERT_TRUE(Parse(L"<File/>"));
    EXPECT_TRUE(list_.Entries().empty());
    EXPECT_TRUE(Logged(watch.Added(), L"Zero byte file will not be retrieved:\t\\")) << watch.Added();
}

struct SizeCase {
    const char* name;
    const wchar_t* size;
    bool kept;
    LONG value;
    DWORD total;
};

class FileSizeTextTest : public FileListTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(FileSizeTextTest, SizeTextsReadAsDecimalNumbers)
{
    const SizeCase& c = GetParam();
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"f\" Size=\"" + std::wstring(c.size) + L"\"/>")));
    ASSERT_EQ(c.kept ? 1u : 0u, list_.Entries().size());
    if (c.kept) {
        EXPECT_EQ(c.value, list_.Entries()[0].size);
    }
    EXPECT_EQ(c.total, list_.TotalSize());
}

INSTANTIATE_TEST_SUITE_P(Texts, FileSizeTextTest, ::testing::Values(
    SizeCase{"NotANumber", L"abc", false, 0, 0},
    SizeCase{"LeadingDigits", L"12abc", true, 12, 12},
    SizeCase{"Blanks", L"  42", true, 42, 42},
    SizeCase{"Negative", L"-5", true, -5, 0},
    SizeCase{"Largest", L"2147483647", true, 2147483647, 2147483647u},
    SizeCase{"TooLargeIsClamped", L"99999999999999999999", true, 2147483647, 2147483647u}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST_F(FileListTest, TheTotalStopsAtTheLargest32BitValue)
{
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"a\" Size=\"2147483647\"/><File Name=\"b\" Size=\"2147483647\"/>"
                                L"<File Name=\"c\" Size=\"2147483647\"/>")));
    ASSERT_EQ(3u, list_.Entries().size());
    EXPECT_EQ(MAXDWORD, list_.TotalSize());
}

TEST_F(FileListTest, NonNumericTestTextsStillDecide)
{
    TestSupport::WriteBytes(folder_ / L"local.txt", "x");
    LogWatch watch;
    ASSERT_TRUE(Parse(InScratch(L"<File Name=\"local.txt\" Size=\"1\" ByDate=\"soon\" ByVersion=\"new\"/>")));
    EXPECT_EQ(1u, list_.Entries().size());
    const std::wstring log = watch.Added();
    EXPECT_TRUE(Logged(log, L"Compare versions: new,  - File not added, client version newer.")) << log;
    EXPECT_TRUE(Logged(log, L"File time-stamp not readable -- download new version.")) << log;
}

TEST_F(FileListTest, NestingBeyondAnyRealFolderTreeIsRefused)
{
    std::wstring markup = L"<File Name=\"deepest\" Size=\"1\"/>";
    for (int level = 0; level < 150; ++level)
        markup = L"<Directory Name=\"d\">" + markup + L"</Directory>";
    LogWatch watch;
    EXPECT_FALSE(Parse(InScratch(markup)));
    EXPECT_TRUE(list_.Entries().empty());
    EXPECT_TRUE(Logged(watch.Added(), L"Item nesting too deep, section not read further:\tFileList")) << watch.Added();
}

} // namespace
