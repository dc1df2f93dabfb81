#include "DescriptionSigning.h"

#include "DescriptionDocument.h"
#include "StagedFile.h"
#include "ToolError.h"
#include "common/Xml.h"
#include "core/SecureCode.h"

#include <objbase.h>

#include <cwchar>

namespace NorvaneTool {

namespace {

// COM for the DOM, for the length of one command.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (initialised_)
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

std::wstring Hex(DWORD value)
{
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"%08lX", static_cast<unsigned long>(value));
    return text;
}

// The CRC clients derive; throws when they would find no code to check.
DWORD DerivedCrc(const DescriptionDocument& description, const std::wstring& path)
{
    DWORD crc = 0;
    if (!CoveredTextCrc(description.RootXml(), crc))
        throw ToolError(L"'" + path + L"': no bare <SecureCode> tag in its markup, so clients find no code "
                        L"(a SecureCode element with attributes is not recognised)");
    return crc;
}

} // namespace

std::wstring SignDescription(const std::wstring& path, const std::wstring& baseCode)
{
    ComApartment com;
    DescriptionDocument description(path);
    Common::ComPtr<IXMLDOMNode> element = description.CodeElement();
    if (!element)
        element = description.AppendCodeElement();
    // An empty element serialises as "<SecureCode/>", which clients would not find; its own
    // text is not covered, so any placeholder gives the final CRC.
    SetNodeText(element.Get(), L"0");
    const std::wstring code = Hex(HexCodeValue(baseCode) + DerivedCrc(description, path));
    SetNodeText(element.Get(), code);
    // When another code tag follows, the element's own text is covered and no value can match.
    if (HexCodeValue(baseCode) + DerivedCrc(description, path) != HexCodeValue(code))
        throw ToolError(L"'" + path + L"' cannot be signed: its first SecureCode element is followed by "
                        L"another <SecureCode> tag, so the code would cover its own value");
    StagedFile staged(path);
    description.Save(staged.Path());
    staged.PutInPlace();
    return L"'" + path + L"': SecureCode " + code + L"\r\n";
}

std::wstring VerifyDescription(const std::wstring& path, const std::wstring& baseCode)
{
    ComApartment com;
    const DescriptionDocument description(path);
    const DWORD base = HexCodeValue(baseCode);
    const Common::ComPtr<IXMLDOMNode> element = description.CodeElement();
    if (!element) {
        if (base != 0)
            throw ToolError(L"'" + path + L"' has no SecureCode element, which clients with a base code require");
        return L"'" + path + L"': no SecureCode element; clients without a base code accept it unchecked\r\n";
    }
    const std::wstring given = Common::NodeText(element.Get());
    const DWORD crc = DerivedCrc(description, path);
    if (base + crc != HexCodeValue(given))
        throw ToolError(L"'" + path + L"': security code '" + given + L"' does not match; expected " +
                        Hex(base + crc) + L" (base " + Hex(base) + L" + CRC " + Hex(crc) + L")");
    return L"'" + path + L"': security code " + given + L" matches\r\n";
}

} // namespace NorvaneTool
