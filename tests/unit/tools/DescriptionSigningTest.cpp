#include "ToolCommands.h"
#include "common/Xml.h"
#include "core/SecureCode.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

using NorvaneTool::RunTool;
using NorvaneTool::ToolOutcome;
using TestSupport::ReadBytes;
using TestSupport::ScratchFolder;
using TestSupport::WriteBytes;

namespace {

// The code element sits between covered content and content after it.
const char kDescription[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Norvane version=\"2\">\n"
    "  <UpdateVersion>1.1.0.0</UpdateVersion>\n"
    "  <Reason>Fixes &amp; more</Reason>\n"
    "  <SecureCode>unsigned</SecureCode>\n"
    "  <Welcome>Hello</Welcome>\n"
    "</Norvane>\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::string::size_type at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

class DescriptionSigning : public ::testing::Test {
protected:
    void SetUp() override { path_ = folder_ / L"update.xml"; }

    ToolOutcome Sign(const std::wstring& base) { return RunTool({L"sign", path_, base}); }
    ToolOutcome Verify(const std::wstring& base) { return RunTool({L"verify", path_, base}); }

    // The signed file's bytes; the test fails when signing did.
    std::string SignedBytes(const std::string& description, const std::wstring& base)
    {
        EXPECT_TRUE(WriteBytes(path_, description));
        const ToolOutcome signing = Sign(base);
        EXPECT_EQ(0, signing.exitCode) << signing.errors;
        return ReadBytes(path_);
    }

    ScratchFolder folder_;
    std::wstring path_;
};

TEST_F(DescriptionSigning, SignedDescriptionVerifies)
{
    SignedBytes(kDescription, L"1A2B");
    const ToolOutcome verified = Verify(L"1A2B");
    EXPECT_EQ(0, verified.exitCode) << verified.errors;
    EXPECT_EQ(L"", verified.errors);
    EXPECT_NE(std::wstring::npos, verified.output.find(L"matches"));
}

TEST_F(DescriptionSigning, ReplacesTheTextOfTheExistingElement)
{
    const std::string signedText = SignedBytes(kDescription, L"0");
    EXPECT_EQ(std::string::npos, signedText.find("unsigned"));
    EXPECT_EQ(signedText.find("<SecureCode>"), signedText.rfind("<SecureCode>"));
    // Everything else is kept as the publisher laid it out.
    EXPECT_NE(std::string::npos, signedText.find("\n  <Reason>Fixes &amp; more</Reason>\n  <SecureCode>"));
    EXPECT_NE(std::string::npos, signedText.find("</SecureCode>\n  <Welcome>Hello</Welcome>\n</Norvane>"));
}

TEST_F(DescriptionSigning, AppendsTheElementLastWhenThereIsNone)
{
    const std::string signedText =
        SignedBytes("<Norvane>\r\n\t<UpdateVersion>2.0</UpdateVersion>\r\n</Norvane>\r\n", L"FF");
    const std::string::size_type code = signedText.find("\t<SecureCode>");
    ASSERT_NE(std::string::npos, code) << signedText;
    EXPECT_LT(signedText.find("</UpdateVersion>"), code);
    // The parser may turn CR LF into LF; only layout may stand between the element and the end.
    const std::string::size_type end = signedText.find("</SecureCode>", code) + 13;
    const std::string::size_type rootEnd = signedText.find("</Norvane>", code);
    ASSERT_NE(std::string::npos, rootEnd) << signedText;
    EXPECT_EQ(std::string::npos, signedText.substr(end, rootEnd - end).find_first_not_of(" \t\r\n")) << signedText;
    EXPECT_EQ(0, Verify(L"FF").exitCode);
}

// A client's DOM keeps no layout; its serialisation must give the same code.
TEST_F(DescriptionSigning, CodeIsWhatAClientDerives)
{
    SignedBytes(kDescription, L"1A2B3C4D");
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"Microsoft.XMLDOM");
        ASSERT_TRUE(document);
        ASSERT_TRUE(Common::LoadXml(document.Get(), path_));
        Common::ComPtr<IXMLDOMElement> root;
        ASSERT_EQ(S_OK, document->get_documentElement(root.Address()));
        DWORD crc = 0;
        ASSERT_TRUE(CoveredTextCrc(Common::NodeXml(root.Get()), crc));
        const DWORD given = HexCodeValue(Common::SelectedText(document.Get(), L"Norvane/SecureCode"));
        EXPECT_EQ(0x1A2B3C4DU + crc, given);
    }
    ::CoUninitialize();
}

struct EditCase {
    const char* name;
    const char* from;
    const char* to;
    bool stillValid;
};

class SignedDescriptionEdits : public DescriptionSigning, public ::testing::WithParamInterface<EditCase> {};

TEST_P(SignedDescriptionEdits, KeepOrBreakTheCode)
{
    const std::string signedText = SignedBytes(kDescription, L"1A2B");
    ASSERT_TRUE(WriteBytes(path_, Replaced(signedText, GetParam().from, GetParam().to)));
    const ToolOutcome verified = Verify(L"1A2B");
    if (GetParam().stillValid) {
        EXPECT_EQ(0, verified.exitCode) << GetParam().name << ": " << verified.errors;
    } else {
        EXPECT_EQ(1, verified.exitCode) << GetParam().name;
        EXPECT_EQ(L"", verified.output) << GetParam().name;
        EXPECT_EQ(0u, verified.errors.find(L"norvanetool: '" + path_ + L"'")) << GetParam().name << ": " << verified.errors;
        EXPECT_NE(std::wstring::npos, verified.errors.find(L"does not match")) << GetParam().name;
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, SignedDescriptionEdits, ::testing::Values(
    EditCase{"layout between elements", "\n  <Reason>", "\r\n\r\n\t\t<Reason>", true},
    EditCase{"blanks inside a text", "Fixes &amp; more", "Fixes   &amp;   more", true},
    EditCase{"text after the code", "Hello", "Goodbye", true},
    EditCase{"element after the code", "</Welcome>", "</Welcome><License>L</License>", true},
    EditCase{"covered character", "1.1.0.0", "1.1.0.1", false},
    EditCase{"covered entity spelled out", "&amp; more", "and more", false},
    EditCase{"root attribute", "version=\"2\"", "version=\"3\"", false},
    EditCase{"element before the code", "</Reason>", "</Reason><Restart>Automatic</Restart>", false}));

TEST_F(DescriptionSigning, OtherBaseCodeFails)
{
    SignedBytes(kDescription, L"1A2B");
    EXPECT_EQ(1, Verify(L"1A2C").exitCode);
    EXPECT_EQ(1, Verify(L"").exitCode);
}

TEST_F(DescriptionSigning, EmptyBaseCodeIsZero)
{
    SignedBytes(kDescription, L"");
    EXPECT_EQ(0, Verify(L"0").exitCode);
    EXPECT_EQ(0, Verify(L"").exitCode);
}

TEST_F(DescriptionSigning, ChangedCodeFails)
{
    const std::string signedText = SignedBytes(kDescription, L"0");
    const std::string::size_type code = signedText.find("<SecureCode>") + 12;
    std::string changed = signedText;
    changed[code] = changed[code] == '1' ? '2' : '1';
    ASSERT_TRUE(WriteBytes(path_, changed));
    EXPECT_EQ(1, Verify(L"0").exitCode);
}

// The client reads the first element's code but covers up to the last tag: no code can match.
TEST_F(DescriptionSigning, SecondCodeElementIsRefusedAndTheFileKept)
{
    const std::string twice = Replaced(kDescription, "</Welcome>", "</Welcome><SecureCode>x</SecureCode>");
    ASSERT_TRUE(WriteBytes(path_, twice));
    const ToolOutcome signing = Sign(L"1");
    EXPECT_EQ(1, signing.exitCode);
    EXPECT_NE(std::wstring::npos, signing.errors.find(L"cannot be signed")) << signing.errors;
    EXPECT_EQ(twice, ReadBytes(path_));
}

struct RefusedCase {
    const char* name;
    std::string bytes;
    const wchar_t* message;
};

class RefusedDescriptions : public DescriptionSigning, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedDescriptions, AreNotSignedOrVerified)
{
    ASSERT_TRUE(WriteBytes(path_, GetParam().bytes));
    for (const wchar_t* command : {L"sign", L"verify"}) {
        const ToolOutcome outcome = RunTool({command, path_, L"1"});
        EXPECT_EQ(1, outcome.exitCode) << GetParam().name << " " << command;
        EXPECT_NE(std::wstring::npos, outcome.errors.find(GetParam().message))
            << GetParam().name << " " << command << ": " << outcome.errors;
    }
    EXPECT_EQ(GetParam().bytes, ReadBytes(path_)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedDescriptions, ::testing::Values(
    RefusedCase{"not well-formed", "<Norvane><UpdateVersion>1</Norvane>", L"cannot load"},
    RefusedCase{"other root", "<Update><SecureCode>1</SecureCode></Update>", L"root element is 'Update'"},
    RefusedCase{"code element with attributes", "<Norvane><A/><SecureCode id=\"1\">0</SecureCode></Norvane>",
                L"no bare <SecureCode> tag"}));

TEST_F(DescriptionSigning, MissingFileIsReported)
{
    const ToolOutcome outcome = Verify(L"1");
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ(0u, outcome.errors.find(L"norvanetool: cannot open ")) << outcome.errors;
    EXPECT_FALSE(TestSupport::Exists(path_));
}

// As the client: without a base code a description without code passes unchecked.
TEST_F(DescriptionSigning, VerifyWithoutElementDependsOnTheBaseCode)
{
    ASSERT_TRUE(WriteBytes(path_, "<Norvane><UpdateVersion>1</UpdateVersion></Norvane>"));
    EXPECT_EQ(0, Verify(L"").exitCode);
    const ToolOutcome withBase = Verify(L"1A");
    EXPECT_EQ(1, withBase.exitCode);
    EXPECT_NE(std::wstring::npos, withBase.errors.find(L"has no SecureCode element")) << withBase.errors;
}

TEST(DescriptionSigningUse, WrongArgumentCountsAreUsageErrors)
{
    for (const std::vector<std::wstring>& arguments : std::vector<std::vector<std::wstring>>{
             {L"sign", L"update.xml"}, {L"verify"}, {L"sign", L"a.xml", L"1", L"2"}}) {
        const ToolOutcome outcome = RunTool(arguments);
        EXPECT_EQ(2, outcome.exitCode);
        EXPECT_NE(std::wstring::npos, outcome.errors.find(L"norvanetool sign <description.xml> <base code>"));
    }
}

} // namespace
