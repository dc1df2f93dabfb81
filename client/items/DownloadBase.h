#pragma once
// The common interface of the five update item kinds: each reads its own section of the update
// description and later carries its items out.
#include "common/Object.h"

#include <windows.h>
#include <msxml2.h>

#include <string>

class DownloadBase : public Object {
public:
    // The element name of the item's section below the root "Norvane".
    virtual std::wstring SectionName() const = 0;
    // Reads the items below `element`; called with the section element and an empty base path,
    // and again for each nested element with the base path (folder, phase or key) it sets.
    virtual BOOL ParseSection(IXMLDOMNode* element, const std::wstring& basePath) = 0;
    // Carries the items out; the execution and service kinds take a phase name, the others an
    // empty text.
    virtual BOOL ProcessItems(const std::wstring& text) = 0;
};
