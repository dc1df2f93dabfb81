#include "core/SecureCode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD kUntouched = 0xDEADBEEFU;

DWORD CrcOf(const std::wstring& rootXml)
{
    DWORD crc = kUntouched;
    EXPECT_TRUE(CoveredTextCrc(rootXml, crc)) << rootXml;
    return crc;
}

// The root as MSXML serialises a small signed description.
const wchar_t kSigned[] =
    L"<Norvane>\r\n\t<UpdateVersion>1.0</UpdateVersion>\r\n\t<SecureCode>0</SecureCode>\r\n"
    L"\t<Welcome>Hello</Welcome>\r\n</Norvane>";

// Expected values are zlib's CRC-32 of the covered text's UTF-16LE bytes, whitespace removed.
struct KnownCase {
    const wchar_t* rootXml;
    DWORD crc;
};

class CoveredTextKnownValues : public ::testing::TestWithParam<KnownCase> {};

TEST_P(CoveredTextKnownValues, AreZlibCrcOfTheCoveredText)
{
    EXPECT_EQ(GetParam().crc, CrcOf(GetParam().rootXml)) << GetParam().rootXml;
}

INSTANTIATE_TEST_SUITE_P(Descriptions, CoveredTextKnownValues, ::testing::Values(
    KnownCase{L"<Norvane><a><SecureCode>1</SecureCode></Norvane>", 0x0025ED6EU},
    KnownCase{kSigned, 0x75C76851U},
    // The covered text ends at the last tag, so the first element and its value are covered.
    KnownCase{L"<Norvane><SecureCode>1</SecureCode><UpdateVersion>1.0</UpdateVersion><SecureCode>2</SecureCode>"
              L"</Norvane>", 0x39B86388U},
    // Nine characters are skipped whatever the root tag holds: its attributes are covered.
    KnownCase{L"<Norvane a=\"1\"><UpdateVersion>1.0</UpdateVersion><SecureCode>7</SecureCode></Norvane>",
              0xBC996F24U},
    KnownCase{L"<Norvane>\u00e9\u20ac<SecureCode>7</SecureCode></Norvane>", 0xB3EF0283U},
    // Nothing before the code: the CRC of no bytes.
    KnownCase{L"<Norvane><SecureCode>5</SecureCode></Norvane>", 0x00000000U}));

struct VariantCase {
    const wchar_t* name;
    const wchar_t* rootXml;
    bool sameAsSigned;
};

class CoveredTextVariants : public ::testing::TestWithParam<VariantCase> {};

TEST_P(CoveredTextVariants, ChangeTheCrcOnlyWhenCoveredMarkupChanges)
{
    const DWORD signedCrc = CrcOf(kSigned);
    const DWORD variantCrc = CrcOf(GetParam().rootXml);
    if (GetParam().sameAsSigned)
        EXPECT_EQ(signedCrc, variantCrc) << GetParam().name;
    else
        EXPECT_NE(signedCrc, variantCrc) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Changes, CoveredTextVariants, ::testing::Values(
    VariantCase{L"no whitespace at all",
                L"<Norvane><UpdateVersion>1.0</UpdateVersion><SecureCode>0</SecureCode><Welcome>Hello</Welcome>"
                L"</Norvane>", true},
    VariantCase{L"blanks, tabs and line breaks added",
                L"<Norvane>\n\n  <UpdateVersion> 1.\t0 </UpdateVersion>\r\n \t<SecureCode>0</SecureCode>"
                L"<Welcome>Hello</Welcome></Norvane>", true},
    VariantCase{L"own code changed",
                L"<Norvane>\r\n\t<UpdateVersion>1.0</UpdateVersion>\r\n\t<SecureCode>FFFF</SecureCode>\r\n"
                L"\t<Welcome>Hello</Welcome>\r\n</Norvane>", true},
    VariantCase{L"text after the code changed",
                L"<Norvane>\r\n\t<UpdateVersion>1.0</UpdateVersion>\r\n\t<SecureCode>0</SecureCode>\r\n"
                L"\t<Welcome>Goodbye</Welcome><Extra/>\r\n</Norvane>", true},
    VariantCase{L"covered character changed",
                L"<Norvane>\r\n\t<UpdateVersion>1.1</UpdateVersion>\r\n\t<SecureCode>0</SecureCode>\r\n"
                L"\t<Welcome>Hello</Welcome>\r\n</Norvane>", false},
    VariantCase{L"covered element renamed",
                L"<Norvane>\r\n\t<Updateversion>1.0</Updateversion>\r\n\t<SecureCode>0</SecureCode>\r\n"
                L"\t<Welcome>Hello</Welcome>\r\n</Norvane>", false},
    VariantCase{L"attribute added to the root",
                L"<Norvane v=\"2\">\r\n\t<UpdateVersion>1.0</UpdateVersion>\r\n\t<SecureCode>0</SecureCode>\r\n"
                L"\t<Welcome>Hello</Welcome>\r\n</Norvane>", false},
    VariantCase{L"second code element after the first",
                L"<Norvane>\r\n\t<UpdateVersion>1.0</UpdateVersion>\r\n\t<SecureCode>0</SecureCode>\r\n"
                L"\t<Welcome>Hello</Welcome><SecureCode>0</SecureCode>\r\n</Norvane>", false}));

TEST(CoveredTextCrc, RootAttributeValuesAreCovered)
{
    EXPECT_NE(CrcOf(L"<Norvane v=\"2\"><SecureCode>0</SecureCode></Norvane>"),
              CrcOf(L"<Norvane v=\"3\"><SecureCode>0</SecureCode></Norvane>"));
}

TEST(CoveredTextCrc, WithoutTheBareTagNothingIsComputed)
{
    for (const wchar_t* rootXml : {L"<Norvane><UpdateVersion>1.0</UpdateVersion></Norvane>",
                                   L"<Norvane><SecureCode id=\"1\">5</SecureCode></Norvane>",
                                   L"<Norvane><securecode>5</securecode></Norvane>", L""}) {
        DWORD crc = kUntouched;
        EXPECT_FALSE(CoveredTextCrc(rootXml, crc)) << rootXml;
        EXPECT_EQ(kUntouched, crc) << rootXml;
    }
}

TEST(CoveredTextCrc, TagWithinTheFirstNineCharactersCoversNothing)
{
    EXPECT_EQ(0x00000000U, CrcOf(L"<r><SecureCode>5</SecureCode></r>"));
}

struct HexCase {
    const wchar_t* text;
    DWORD value;
};

class HexCodeValues : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexCodeValues, FollowTheUnsignedBase16Conversion)
{
    EXPECT_EQ(GetParam().value, HexCodeValue(GetParam().text)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, HexCodeValues, ::testing::Values(
    HexCase{L"", 0U},
    HexCase{L"1A2b3C4d", 0x1A2B3C4DU},
    HexCase{L"0x10", 0x10U},
    HexCase{L"  ff", 0xFFU},
    HexCase{L"12zz", 0x12U},
    HexCase{L"zz", 0U},
    HexCase{L"FFFFFFFF", 0xFFFFFFFFU},
    // Too large for 32 bits: the conversion saturates.
    HexCase{L"123456789", 0xFFFFFFFFU}));

} // namespace
