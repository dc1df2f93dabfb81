#pragma once
// Walks the child elements of one name below an item element, reading each child's attributes
// and passing over the children not targeted for this system (their OS attribute).
#include "common/ComPtr.h"

#include <windows.h>
#include <msxml2.h>

#include <cstdint>
#include <map>
#include <string>

class NodeIterator {
public:
    // The direct children of `parent` named `childName`, filtered by the running system's code.
    NodeIterator(IXMLDOMNode* parent, const std::wstring& childName);
    NodeIterator(const NodeIterator&) = delete;
    NodeIterator& operator=(const NodeIterator&) = delete;

    // Moves to the next child targeted for this system; false when there is none.
    bool Next();
    // The current child's attribute, empty when it has none of that name.
    std::wstring Attribute(const std::wstring& name) const;
    IXMLDOMNode* Current() const;

    // Whether an element with OS attribute `osAttribute` is meant for a system of `osCode`.
    static bool Targets(const std::wstring& osAttribute, uint32_t osCode);
    // The OS code the filter uses: the environment's, unless a test has put another in place.
    static uint32_t FilterOsCode();

private:
    void ReadAttributes();

    Common::ComPtr<IXMLDOMNodeList> children_;
    Common::ComPtr<IXMLDOMNode> current_;
    std::map<std::wstring, std::wstring> attributes_;
    uint32_t osCode_;
};

// For tests: the OS filter sees `code` instead of the running system's while this lives.
class ScopedFilterOsCode {
public:
    explicit ScopedFilterOsCode(uint32_t code);
    ~ScopedFilterOsCode();
    ScopedFilterOsCode(const ScopedFilterOsCode&) = delete;
    ScopedFilterOsCode& operator=(const ScopedFilterOsCode&) = delete;

private:
    bool hadOverride_;
    uint32_t previous_;
};
