#include "DescriptionDocument.h"

#include "FullPath.h"
#include "ToolError.h"
#include "common/Xml.h"

#include <utility>

namespace NorvaneTool {

namespace {

// The client's classes, in the order it tries them.
const wchar_t* const kDomClasses[] = {L"Microsoft.XMLDOM", L"MSXML2.DOMDocument"};

std::wstring ParseErrorText(IXMLDOMDocument* document)
{
    Common::ComPtr<IXMLDOMParseError> error;
    Common::UniqueBstr reason;
    long line = 0;
    if (FAILED(document->get_parseError(error.Address())) || !error || FAILED(error->get_reason(reason.Address())))
        return L"not a well-formed XML document";
    error->get_line(&line);
    std::wstring text = reason.Text();
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        text = L"not a well-formed XML document";
    return line > 0 ? L"line " + std::to_wstring(line) + L": " + text : text;
}

Common::ComPtr<IXMLDOMDocument> LoadDocument(const std::wstring& path)
{
    const std::wstring full = FullPath(path);
    if (::GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES)
        throw ToolError::FromSystem(L"cannot open '" + path + L"'", ::GetLastError());
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(kDomClasses, 2);
    if (!document)
        throw ToolError(L"cannot create the XML DOM (Microsoft.XMLDOM)");
    // Keeps the publisher's layout in the saved file; whitespace is outside the code anyway.
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    if (!Common::LoadXml(document.Get(), full))
        throw ToolError(L"cannot load '" + path + L"' as XML: " + ParseErrorText(document.Get()));
    return document;
}

std::wstring NodeName(IXMLDOMNode* node)
{
    Common::UniqueBstr name;
    if (!node || FAILED(node->get_nodeName(name.Address())))
        return std::wstring();
    return name.Text();
}

// A text node of blanks, tabs and line breaks only; null for anything else.
Common::ComPtr<IXMLDOMNode> Layout(Common::ComPtr<IXMLDOMNode> node)
{
    DOMNodeType type = NODE_INVALID;
    if (!node || FAILED(node->get_nodeType(&type)) || type != NODE_TEXT)
        return Common::ComPtr<IXMLDOMNode>();
    const std::wstring text = Common::NodeXml(node.Get());
    if (text.empty() || text.find_first_not_of(L" \t\r\n") != std::wstring::npos)
        return Common::ComPtr<IXMLDOMNode>();
    return node;
}

Common::ComPtr<IXMLDOMNode> Previous(IXMLDOMNode* node)
{
    Common::ComPtr<IXMLDOMNode> previous;
    if (!node || node->get_previousSibling(previous.Address()) != S_OK)
        previous.Reset();
    return previous;
}

bool InsertBefore(IXMLDOMNode* parent, IXMLDOMNode* node, IXMLDOMNode* before)
{
    VARIANT reference;
    ::VariantInit(&reference);
    reference.vt = VT_UNKNOWN;
    reference.punkVal = before; // borrowed: never cleared
    Common::ComPtr<IXMLDOMNode> inserted;
    return parent->insertBefore(node, reference, inserted.Address()) == S_OK;
}

} // namespace

DescriptionDocument::DescriptionDocument(const std::wstring& path) : path_(path), document_(LoadDocument(path))
{
    if (document_->get_documentElement(root_.Address()) != S_OK || !root_)
        throw ToolError(L"'" + path + L"' has no root element");
    const std::wstring name = NodeName(root_.Get());
    if (name != L"Norvane")
        throw ToolError(L"'" + path + L"' is not an update description: its root element is '" + name +
                        L"', not 'Norvane'");
}

Common::ComPtr<IXMLDOMNode> DescriptionDocument::CodeElement() const
{
    return Common::SelectNode(document_.Get(), L"Norvane/SecureCode");
}

Common::ComPtr<IXMLDOMNode> DescriptionDocument::AppendCodeElement()
{
    const Common::UniqueBstr name(L"SecureCode");
    Common::ComPtr<IXMLDOMElement> element;
    if (!name || document_->createElement(name.Get(), element.Address()) != S_OK || !element)
        throw ToolError(L"cannot add a SecureCode element to '" + path_ + L"'");
    if (!PlaceLastInLayout(element.Get()))
        throw ToolError(L"cannot add a SecureCode element to '" + path_ + L"'");
    return Common::ComPtr<IXMLDOMNode>::Share(element.Get());
}

// With the publisher's layout kept, the element goes before the line break that closes the
// root and gets the indentation of the element before it.
bool DescriptionDocument::PlaceLastInLayout(IXMLDOMNode* element)
{
    Common::ComPtr<IXMLDOMNode> last;
    if (root_->get_lastChild(last.Address()) != S_OK)
        last.Reset();
    const Common::ComPtr<IXMLDOMNode> closing = Layout(std::move(last));
    if (!closing) {
        Common::ComPtr<IXMLDOMNode> appended;
        return root_->appendChild(element, appended.Address()) == S_OK;
    }
    const Common::ComPtr<IXMLDOMNode> indentation = Layout(Previous(Previous(closing.Get()).Get()));
    if (!InsertBefore(root_.Get(), element, closing.Get()))
        return false;
    // Placed next to the element, not to the closing text, which a DOM may merge it into.
    Common::ComPtr<IXMLDOMNode> copy;
    if (indentation && indentation->cloneNode(VARIANT_FALSE, copy.Address()) == S_OK && copy)
        InsertBefore(root_.Get(), copy.Get(), element);
    return true;
}

std::wstring DescriptionDocument::RootXml() const
{
    return Common::NodeXml(root_.Get());
}

void DescriptionDocument::Save(const std::wstring& path) const
{
    const Common::UniqueBstr destination(path);
    if (!destination || document_->save(Common::BorrowedText(destination)) != S_OK)
        throw ToolError(L"cannot write '" + path + L"'");
}

void SetNodeText(IXMLDOMNode* node, const std::wstring& text)
{
    const Common::UniqueBstr value(text);
    if (!value || node->put_text(value.Get()) != S_OK)
        throw ToolError(L"cannot set the text of the SecureCode element");
}

} // namespace NorvaneTool
