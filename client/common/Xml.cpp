#include "Xml.h"

namespace Common {

namespace {

// IID_IXMLDOMDocument2, which the MinGW import libraries lack; MSVC's come with it.
const IID kXmlDocument2Iid = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// MSXML 3 evaluates XSL patterns unless told otherwise, and those count positions from 0 and
// lack most XPath functions. The paths the client selects mean the same in both, so a
// refusal is harmless.
void SelectByXPath(IXMLDOMDocument* document)
{
    IXMLDOMDocument2* document2 = nullptr;
    if (FAILED(document->QueryInterface(kXmlDocument2Iid, reinterpret_cast<void**>(&document2))))
        return;
    ComPtr<IXMLDOMDocument2> owner(document2);
    const UniqueBstr name(L"SelectionLanguage");
    const UniqueBstr language(L"XPath");
    if (name && language)
        owner->setProperty(name.Get(), BorrowedText(language));
}

} // namespace

VARIANT BorrowedText(const UniqueBstr& text)
{
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_BSTR;
    variant.bstrVal = text.Get();
    return variant;
}

ComPtr<IXMLDOMDocument> CreateXmlDocument(const wchar_t* const* progIds, int count)
{
    const DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
    for (int i = 0; i < count; ++i) {
        CLSID classId;
        if (FAILED(::CLSIDFromProgID(progIds[i], &classId)))
            continue;
        ComPtr<IXMLDOMDocument> document;
        if (FAILED(::CoCreateInstance(classId, nullptr, context, IID_IXMLDOMDocument,
                                      reinterpret_cast<void**>(document.Address()))))
            continue;
        if (FAILED(document->put_async(VARIANT_FALSE)))
            continue;
        SelectByXPath(document.Get());
        return document;
    }
    return ComPtr<IXMLDOMDocument>();
}

ComPtr<IXMLDOMDocument> CreateXmlDocument(const wchar_t* progId)
{
    return CreateXmlDocument(&progId, 1);
}

bool LoadXml(IXMLDOMDocument* document, const std::wstring& location)
{
    const UniqueBstr text(location);
    if (!document || !text)
        return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return document->load(BorrowedText(text), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

bool LoadXmlText(IXMLDOMDocument* document, const std::wstring& markup)
{
    const UniqueBstr text(markup);
    if (!document || !text)
        return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    return document->loadXML(text.Get(), &loaded) == S_OK && loaded == VARIANT_TRUE;
}

ComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* from, const std::wstring& xpath)
{
    ComPtr<IXMLDOMNode> node;
    const UniqueBstr query(xpath);
    if (!from || !query || from->selectSingleNode(query.Get(), node.Address()) != S_OK)
        node.Reset();
    return node;
}

ComPtr<IXMLDOMNodeList> SelectNodes(IXMLDOMNode* from, const std::wstring& xpath)
{
    ComPtr<IXMLDOMNodeList> nodes;
    const UniqueBstr query(xpath);
    if (!from || !query || from->selectNodes(query.Get(), nodes.Address()) != S_OK)
        nodes.Reset();
    return nodes;
}

std::wstring NodeText(IXMLDOMNode* node)
{
    UniqueBstr text;
    if (!node || FAILED(node->get_text(text.Address())))
        return std::wstring();
    return text.Text();
}

std::wstring NodeXml(IXMLDOMNode* node)
{
    UniqueBstr text;
    if (!node || FAILED(node->get_xml(text.Address())))
        return std::wstring();
    return text.Text();
}

std::wstring SelectedText(IXMLDOMNode* from, const std::wstring& xpath)
{
    return NodeText(SelectNode(from, xpath).Get());
}

} // namespace Common
