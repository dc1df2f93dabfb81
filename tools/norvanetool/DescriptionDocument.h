#pragma once
// An update description loaded into the same MSXML DOM the client parses it with, so that
// the markup the security code covers is serialised exactly as a client will see it.
#include "common/ComPtr.h"

#include <msxml2.h>

#include <string>

namespace NorvaneTool {

class DescriptionDocument {
public:
    // Throws ToolError when the file cannot be read, is not well-formed or has no "Norvane" root.
    // COM must be initialised on the calling thread.
    explicit DescriptionDocument(const std::wstring& path);

    // The root's "SecureCode" child as clients select it (the first one); null when there is none.
    Common::ComPtr<IXMLDOMNode> CodeElement() const;
    // Appends an empty "SecureCode" element as the root's last child.
    Common::ComPtr<IXMLDOMNode> AppendCodeElement();
    // The root's markup as the DOM serialises it.
    std::wstring RootXml() const;
    // Writes the document to `path` through the DOM.
    void Save(const std::wstring& path) const;

private:
    bool PlaceLastInLayout(IXMLDOMNode* element);

    std::wstring path_;
    Common::ComPtr<IXMLDOMDocument> document_;
    Common::ComPtr<IXMLDOMElement> root_;
};

// Sets the text of an element; throws ToolError on failure.
void SetNodeText(IXMLDOMNode* node, const std::wstring& text);

} // namespace NorvaneTool
