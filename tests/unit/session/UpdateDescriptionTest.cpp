#include "DescriptionFixture.h"

#include "common/FixedText.h"
#include "common/Xml.h"
#include "core/ConfigRecord.h"
#include "core/Norvane.h"
#include "core/RunSettings.h"
#include "core/ScreenTexts.h"
#include "core/StatusFile.h"
#include "core/UpdateDescription.h"
#include "support/ProcessLog.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

using SessionTest::DescriptionTest;
using SessionTest::Parse;
using SessionTest::Signed;

namespace {

const wchar_t kSignedMarkup[] =
    L"<Norvane release=\"7\">\r\n"
    L"  <UpdateVersion>2.0</UpdateVersion>\r\n"
    L"  <Welcome>Hello &amp; welcome</Welcome>\r\n"
    L"  <SecureCode>SIGNATURE</SecureCode>\r\n"
    L"  <Reason>after the code</Reason>\r\n"
    L"</Norvane>";

const wchar_t kCheckRequired[] = L"\tSecurity code checking required\r\n";
const wchar_t kDerivedCorrectly[] = L"\tSecurity code detected and derived correctly\r\n";
const wchar_t kMismatch[] =
    L"\r\nThe security code of the update XML file does not match the expected value, possibly due to "
    L"file tampering. Update will terminate.\r\n";

std::wstring Replaced(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    const std::wstring::size_type at = text.find(what);
    EXPECT_NE(std::wstring::npos, at) << "fixture text not found";
    if (at != std::wstring::npos)
        text.replace(at, what.size(), with);
    return text;
}

class SecureCodeTest : public DescriptionTest {
protected:
    bool Check(const std::wstring& markup)
    {
        return UpdateDescription::CheckSecureCode(Parse(markup).Get());
    }
};

} // namespace

TEST_F(SecureCodeTest, SignedDescriptionPasses)
{
    SetSecurityCode(L"1A2B3C4D");
    EXPECT_TRUE(Check(Signed(kSignedMarkup, 0x1A2B3C4D)));
    EXPECT_EQ(std::wstring(kCheckRequired) + kDerivedCorrectly, TestSupport::LogTextSince(mark_));
}

TEST_F(SecureCodeTest, WhitespaceBetweenElementsAndTextAfterTheCodeAreNotCovered)
{
    SetSecurityCode(L"1a2b3c4d");
    const std::wstring markup = Signed(kSignedMarkup, 0x1A2B3C4D);
    EXPECT_TRUE(Check(Replaced(Replaced(markup, L"\r\n  <Welcome>", L"\n\t\t<Welcome>"), L"\r\n  <SecureCode>",
                               L"   <SecureCode>")));
    EXPECT_TRUE(Check(Replaced(markup, L"after the code", L"changed after the code")));
}

TEST_F(SecureCodeTest, ChangesToCoveredTextFail)
{
    SetSecurityCode(L"1A2B3C4D");
    const std::wstring markup = Signed(kSignedMarkup, 0x1A2B3C4D);
    const struct {
        const wchar_t* what;
        const wchar_t* with;
    } changes[] = {
        {L"<UpdateVersion>2.0<", L"<UpdateVersion>2.1<"},
        {L"Hello &amp; welcome", L"Hello &amp; Welcome"},
        {L"release=\"7\"", L"release=\"8\""},
    };
    for (const auto& change : changes) {
        const std::size_t mark = TestSupport::LogMark();
        EXPECT_FALSE(Check(Replaced(markup, change.what, change.with))) << std::wstring(change.with).size();
        const std::wstring log = TestSupport::LogTextSince(mark);
        EXPECT_EQ(0u, log.find(std::wstring(kCheckRequired) + kMismatch + L"\tBase security code:\t1A2B3C4D\r\n"
                               L"\tSecurity code:\t"))
            << std::string(log.begin(), log.end());
        EXPECT_NE(std::wstring::npos, log.find(L"\r\n\tDerived code:\t"));
    }
}

TEST_F(SecureCodeTest, TheLastSecureCodeEndsTheCoveredText)
{
    SetSecurityCode(L"10");
    const std::wstring twice = L"<Norvane><A>1</A><SecureCode>0</SecureCode><B>2</B><SecureCode>0</SecureCode>"
                               L"<C>3</C></Norvane>";
    // What the check derived, from the log of a failed check.
    auto derived = [this](const std::wstring& markup) {
        const std::size_t mark = TestSupport::LogMark();
        EXPECT_FALSE(Check(markup));
        const std::wstring log = TestSupport::LogTextSince(mark);
        const std::wstring::size_type at = log.find(L"\tDerived code:\t");
        return at == std::wstring::npos ? std::wstring() : log.substr(at);
    };
    const std::wstring original = derived(twice);
    ASSERT_FALSE(original.empty());
    EXPECT_NE(original, derived(Replaced(twice, L"<B>2</B>", L"<B>4</B>"))); // between the two: covered
    EXPECT_EQ(original, derived(Replaced(twice, L"<C>3</C>", L"<C>5</C>"))); // after the last: not covered
}

TEST_F(SecureCodeTest, WithoutABaseCodeOrElement)
{
    const std::wstring unsignedMarkup = L"<Norvane><UpdateVersion>2.0</UpdateVersion></Norvane>";
    EXPECT_TRUE(Check(unsignedMarkup));
    EXPECT_EQ(std::wstring(), TestSupport::LogTextSince(mark_));

    // A description that carries a code is checked even by a client without one (base 0).
    EXPECT_TRUE(Check(Signed(kSignedMarkup, 0)));
    EXPECT_FALSE(Check(Signed(kSignedMarkup, 5)));

    SetSecurityCode(L"5");
    const std::size_t mark = TestSupport::LogMark();
    EXPECT_FALSE(Check(unsignedMarkup));
    EXPECT_EQ(L"\r\nSerious error! The update client was built with a security code, but the update XML file "
              L"does not specify the SecureCode branch. Exiting.\r\n",
              TestSupport::LogTextSince(mark));
}

namespace {

class ProcessDescriptionTest : public DescriptionTest {
protected:
    bool Process(const std::wstring& markup)
    {
        return UpdateDescription::ProcessDescription(Parse(markup).Get());
    }
    std::wstring Log() const { return TestSupport::LogTextSince(mark_); }
};

const wchar_t kNotFound[] = L"\r\nXML update file not found or is corrupt\r\n";

} // namespace

TEST_F(ProcessDescriptionTest, WhatIsNotADescriptionIsRefusedWithItsText)
{
    const struct {
        const wchar_t* markup;
        std::wstring log;
    } cases[] = {
        {L"<html><body><h1>404 Not Found</h1></body></html>", std::wstring(kNotFound) + L"\t404 Not Found\r\n\t\r\n"},
        {L"not xml at all", kNotFound},
        {L"<Update><Norvane/></Update>", kNotFound},
        {L"<norvane/>", kNotFound},             // names are case-sensitive
        {L"<x>short</x>", kNotFound},           // five characters or fewer say nothing
        {L"<x>longer</x>", std::wstring(kNotFound) + L"\tlonger\r\n\t\r\n"},
    };
    for (const auto& c : cases) {
        const std::size_t mark = TestSupport::LogMark();
        EXPECT_FALSE(Process(c.markup));
        EXPECT_EQ(c.log, TestSupport::LogTextSince(mark)) << std::wstring(c.markup).size();
    }
}

TEST_F(ProcessDescriptionTest, AnErrorPageIsShortenedTo256Characters)
{
    const std::wstring page(1000, L'x');
    EXPECT_FALSE(Process(L"<html>" + page + L"</html>"));
    EXPECT_EQ(std::wstring(kNotFound) + L"\t" + page.substr(0, 256) + L"\r\n\t\r\n", Log());
}

TEST_F(ProcessDescriptionTest, VersionCheck)
{
    const struct {
        const wchar_t* current;
        const wchar_t* remote;
        bool newer;
    } cases[] = {
        {L"1.2.9", L"1.2.10", true},
        {L"1.2.0.0", L"1.2", false},
        {L"1.9.9.9", L"1.10", true},
        {L"1.2", L"1.2.x", false},
        {L"2.0", L"1.9", false},
        {L"1.0", L"", false},
    };
    for (const auto& c : cases) {
        g_statusFile.SetCurrentVersion(c.current);
        const std::size_t mark = TestSupport::LogMark();
        Process(std::wstring(L"<Norvane><UpdateVersion>") + c.remote + L"</UpdateVersion></Norvane>");
        const std::wstring expected = std::wstring(L"\r\nChecking requirement for update\r\n\tCurrent version:\t") +
                                      c.current + L"\r\n\tRemote version :\t" + c.remote + L"\r\n" +
                                      (c.newer ? L"\r\nProcessing...\r\n" : L"\tA software update is not available\r\n");
        EXPECT_EQ(expected, TestSupport::LogTextSince(mark)) << std::wstring(c.remote).size();
        EXPECT_EQ(c.remote, g_statusFile.RemoteVersion());
        EXPECT_EQ(c.current, g_statusFile.CurrentVersion());
    }
}

TEST_F(ProcessDescriptionTest, WithoutAKnownVersionTheInbuiltOneOrTheApplicationsNewerOneCounts)
{
    // The main application of these tests is the client program beside them, version 1.0.0.1.
    ASSERT_EQ(L"norvaneclient.exe", g_runSettings.MainApplicationName());
    SetInbuiltVersion(L"1.0");
    g_statusFile.SetCurrentVersion(L"0");
    Process(L"<Norvane><UpdateVersion>1.0.0.1</UpdateVersion></Norvane>");
    EXPECT_EQ(L"\t\r\n\tInbuilt version is 1.0, but norvaneclient.exe version is 1.0.0.1.\r\n"
              L"\tAssuming current application version should be 1.0.0.1.\r\n"
              L"\r\nChecking requirement for update\r\n\tCurrent version:\t1.0.0.1\r\n"
              L"\tRemote version :\t1.0.0.1\r\n\tA software update is not available\r\n",
              Log());
    EXPECT_EQ(L"1.0.0.1", g_statusFile.CurrentVersion());

    SetInbuiltVersion(L"3.0");
    g_statusFile.SetCurrentVersion(L"");
    const std::size_t mark = TestSupport::LogMark();
    Process(L"<Norvane><UpdateVersion>3.1</UpdateVersion></Norvane>");
    EXPECT_EQ(0u, TestSupport::LogTextSince(mark).find(L"\r\nChecking requirement for update\r\n\tCurrent "
                                                       L"version:\t3.0\r\n"));
    EXPECT_EQ(L"3.0", g_statusFile.CurrentVersion());
}

TEST_F(ProcessDescriptionTest, ScreenTextsAreReadEvenWithoutAnUpdate)
{
    g_statusFile.SetCurrentVersion(L"5.0");
    EXPECT_FALSE(Process(L"<Norvane><UpdateVersion>4.0</UpdateVersion><Welcome>w</Welcome><License>l</License>"
                         L"<Reason>r</Reason><InstallComplete>i</InstallComplete>"
                         L"<UpdateNotNeeded>u</UpdateNotNeeded><SilentFinished>s</SilentFinished></Norvane>"));
    EXPECT_EQ(L"w", g_screenTexts.welcome);
    EXPECT_EQ(L"l", g_screenTexts.license);
    EXPECT_EQ(L"r", g_screenTexts.reason);
    EXPECT_EQ(L"i", g_screenTexts.installComplete);
    EXPECT_EQ(L"u", g_screenTexts.updateNotNeeded);
    EXPECT_EQ(L"s", g_screenTexts.silentFinished);
    Process(L"<Norvane><UpdateVersion>4.0</UpdateVersion></Norvane>");
    EXPECT_EQ(L"", g_screenTexts.welcome);
}

TEST_F(ProcessDescriptionTest, UpdateTypeAndRestart)
{
    const struct {
        const wchar_t* type;
        const wchar_t* restart;
        RunMode mode;
        int32_t uiMode;
        int32_t restartMode;
        int32_t doNotTerminate;
    } cases[] = {
        {L"Silent", L"", Plain, 0, 1, 0},
        {L"Silent", L"", CheckNow, 1, 1, 0},      // check-now always shows the wizard
        {L"Critical Silent", L"", CheckBackground, 0, 1, 0},
        {L"Critical", L"", Plain, 2, 1, 0},
        {L"silent", L"", Plain, 1, 1, 0},         // the type is case-sensitive
        {L"Normal", L"automatic", Plain, 1, 0, 0}, // the restart is not
        {L"", L"No Restart", Plain, 1, 2, 0},
        {L"", L"Do not terminate EXE", Plain, 1, 2, 1},
        {L"", L"Later", Plain, 1, 1, 0},
    };
    for (const auto& c : cases) {
        g_runSettings.runMode = c.mode;
        g_runSettings.uiMode = 1;
        g_runSettings.restartMode = 1;
        g_runSettings.doNotTerminate = 0;
        const Common::ComPtr<IXMLDOMDocument> document =
            Parse(std::wstring(L"<Norvane><UpdateType>") + c.type + L"</UpdateType><Restart>" + c.restart +
                  L"</Restart></Norvane>");
        UpdateDescription::ReadUpdateType(Common::SelectNode(document.Get(), L"Norvane").Get());
        EXPECT_EQ(c.uiMode, g_runSettings.uiMode) << std::wstring(c.type).size() << "/" << c.mode;
        EXPECT_EQ(c.restartMode, g_runSettings.restartMode) << std::wstring(c.restart).size();
        EXPECT_EQ(c.doNotTerminate, g_runSettings.doNotTerminate);
    }
}

TEST_F(ProcessDescriptionTest, HostileDescriptionsEndWithoutFiles)
{
    g_statusFile.SetCurrentVersion(L"1.0");
    std::wstring many = L"<Norvane><UpdateVersion>2.0</UpdateVersion><FileList>";
    for (int i = 0; i < 3000; ++i)
        many += L"<File Name=\"f" + std::to_wstring(i) + L".bin\" Size=\"0\"/>";
    many += L"</FileList></Norvane>";
    EXPECT_FALSE(Process(many)); // zero-byte files are never fetched

    const std::wstring huge(2000000, L'A');
    EXPECT_FALSE(Process(L"<Norvane><UpdateVersion>2.0</UpdateVersion><Welcome>" + huge + L"</Welcome></Norvane>"));
    EXPECT_EQ(huge.size(), g_screenTexts.welcome.size());

    std::wstring deep = L"<Norvane><UpdateVersion>2.0</UpdateVersion><FileList>";
    for (int i = 0; i < 500; ++i)
        deep += L"<Directory Name=\"d\">";
    for (int i = 0; i < 500; ++i)
        deep += L"</Directory>";
    deep += L"</FileList></Norvane>";
    EXPECT_FALSE(Process(deep));
    EXPECT_FALSE(Process(L"<Norvane><UpdateVersion>99999999999999999999</UpdateVersion></Norvane>"));
}
