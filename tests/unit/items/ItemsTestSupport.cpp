#include "ItemsTestSupport.h"

#include "common/UniqueHandle.h"
#include "common/Xml.h"
#include "core/Log.h"
#include "support/ProcessLog.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

namespace ItemsTest {

std::wstring LogText()
{
    return TestSupport::LogText();
}

LogWatch::LogWatch() : start_(LogText().size()) {}

std::wstring LogWatch::Added() const
{
    const std::wstring text = LogText();
    return start_ < text.size() ? text.substr(start_) : std::wstring();
}

ComApartment::ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment()
{
    if (initialised_)
        ::CoUninitialize();
}

Common::ComPtr<IXMLDOMDocument> ParseDocument(const std::wstring& markup)
{
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"Microsoft.XMLDOM");
    EXPECT_TRUE(document) << "no XML document class";
    if (!document)
        return document;
    const bool loaded = Common::LoadXmlText(document.Get(), markup);
    EXPECT_TRUE(loaded) << "markup not well-formed";
    if (!loaded)
        document.Reset();
    return document;
}

Common::ComPtr<IXMLDOMNode> ParseElement(const std::wstring& markup, const std::wstring& path,
                                         Common::ComPtr<IXMLDOMDocument>& document)
{
    document = ParseDocument(markup);
    Common::ComPtr<IXMLDOMNode> element = Common::SelectNode(document.Get(), path);
    EXPECT_TRUE(element) << "no element at the path";
    return element;
}

std::wstring Escaped(const std::wstring& text)
{
    std::wstring result;
    for (wchar_t unit : text) {
        switch (unit) {
        case L'&': result += L"&amp;"; break;
        case L'<': result += L"&lt;"; break;
        case L'>': result += L"&gt;"; break;
        case L'"': result += L"&quot;"; break;
        default: result += unit; break;
        }
    }
    return result;
}

FILETIME DosFileTime(WORD date, WORD time)
{
    FILETIME result = {};
    EXPECT_TRUE(::DosDateTimeToFileTime(date, time, &result));
    return result;
}

bool SetLastWriteTime(const std::wstring& path, const FILETIME& time)
{
    Common::UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
}

std::wstring ByDateText(WORD date, WORD time)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%04X%04X", static_cast<unsigned>(date), static_cast<unsigned>(time));
    return text;
}

std::wstring FixtureProgram(const std::wstring& name)
{
    return TestSupport::ProgramFolder() + name;
}

} // namespace ItemsTest
