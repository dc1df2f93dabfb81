#include "DescriptionFixture.h"

#include "common/FixedText.h"
#include "common/Xml.h"
#include "core/ConfigRecord.h"
#include "core/RunSettings.h"
#include "core/SecureCode.h"
#include "core/StatusFile.h"
#include "support/ProcessLog.h"

#include <objbase.h>

#include <cstdio>

namespace {

// The session runs on an apartment thread, as the client's entry thread is.
class ApartmentEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { ::CoUninitialize(); }
};

::testing::Environment* const g_apartment = ::testing::AddGlobalTestEnvironment(new ApartmentEnvironment);

} // namespace

namespace SessionTest {

Common::ComPtr<IXMLDOMDocument> Parse(const std::wstring& markup)
{
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"Microsoft.XMLDOM");
    EXPECT_TRUE(document);
    if (document)
        Common::LoadXmlText(document.Get(), markup);
    return document;
}

std::wstring Signed(const std::wstring& markup, unsigned long base)
{
    const Common::ComPtr<IXMLDOMDocument> document = Parse(markup);
    Common::ComPtr<IXMLDOMElement> root;
    EXPECT_EQ(S_OK, document->get_documentElement(root.Address()));
    DWORD crc = 0;
    EXPECT_TRUE(CoveredTextCrc(Common::NodeXml(root.Get()), crc));
    wchar_t hex[16] = {};
    std::swprintf(hex, 16, L"%08lX", static_cast<unsigned long>(static_cast<DWORD>(base + crc)));
    std::wstring signedMarkup = markup;
    const std::wstring::size_type at = signedMarkup.find(L"SIGNATURE");
    EXPECT_NE(std::wstring::npos, at);
    if (at != std::wstring::npos)
        signedMarkup.replace(at, 9, hex);
    return signedMarkup;
}

void DescriptionTest::SetUp()
{
    // The client program beside the tests stands in for the main application (version 1.0.0.1).
    Common::StoreFieldText(g_configRecord.mainApplication, L"norvaneclient.exe");
    SetSecurityCode(L"");
    SetInbuiltVersion(L"");
    g_runSettings.runMode = Plain;
    g_runSettings.uiMode = 1;
    g_runSettings.restartMode = 1;
    g_runSettings.doNotTerminate = 0;
    g_statusFile.SetCurrentVersion(L"");
    g_statusFile.SetRemoteVersion(L"");
    mark_ = TestSupport::LogMark();
}

void DescriptionTest::TearDown()
{
    SetSecurityCode(L"");
    SetInbuiltVersion(L"");
    g_runSettings.runMode = Plain;
}

void DescriptionTest::SetSecurityCode(const std::wstring& hex)
{
    Common::StoreFieldText(g_configRecord.securityCode, hex);
}

void DescriptionTest::SetInbuiltVersion(const std::wstring& version)
{
    Common::StoreFieldText(g_configRecord.inbuiltVersion, version);
}

} // namespace SessionTest
