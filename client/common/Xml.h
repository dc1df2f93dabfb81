#pragma once
// The small part of MSXML the client uses: owned BSTRs, document creation and loading, node
// selection and node text. Every call checks its HRESULT; nothing here throws.
#include "ComPtr.h"

#include <msxml2.h>
#include <oleauto.h>

#include <string>

namespace Common {

// Move-less owner of one BSTR.
class UniqueBstr {
public:
    UniqueBstr() noexcept : value_(nullptr) {}
    explicit UniqueBstr(const std::wstring& text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
    }
    ~UniqueBstr() { ::SysFreeString(value_); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;

    BSTR Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != nullptr; }
    // For out-parameters: frees the current text first.
    BSTR* Address() noexcept
    {
        ::SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring Text() const
    {
        return value_ ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring();
    }

private:
    BSTR value_;
};

// A VARIANT that borrows the text of a BSTR owned elsewhere, so it is never cleared.
VARIANT BorrowedText(const UniqueBstr& text);

// The first of the ProgIDs whose class can be created (in-process, handler or local server);
// null when none can. The document loads synchronously and selects by XPath.
ComPtr<IXMLDOMDocument> CreateXmlDocument(const wchar_t* const* progIds, int count);
ComPtr<IXMLDOMDocument> CreateXmlDocument(const wchar_t* progId);

// Loads `location` (a path or URL); false when the load fails or the markup is not well-formed.
bool LoadXml(IXMLDOMDocument* document, const std::wstring& location);
// Parses `markup`; false when it is not well-formed.
bool LoadXmlText(IXMLDOMDocument* document, const std::wstring& markup);

// Null when nothing matches; an expression the parser rejects matches nothing either.
ComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* from, const std::wstring& xpath);
ComPtr<IXMLDOMNodeList> SelectNodes(IXMLDOMNode* from, const std::wstring& xpath);

// The node's text content (its and its descendants' text); empty for a null node.
std::wstring NodeText(IXMLDOMNode* node);
// The node's markup as the DOM serialises it.
std::wstring NodeXml(IXMLDOMNode* node);
// The text of the node `xpath` selects below `from`; empty when there is none.
std::wstring SelectedText(IXMLDOMNode* from, const std::wstring& xpath);

} // namespace Common
