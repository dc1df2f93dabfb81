#include "DownloadRegistry.h"

#include "ItemPaths.h"
#include "NodeIterator.h"

namespace {

// Key paths are built as "\a\b" from the top; the root key name must come first.
std::wstring WithoutLeadingSeparators(const std::wstring& keyPath)
{
    const std::wstring::size_type start = keyPath.find_first_not_of(L" \\");
    return start == std::wstring::npos ? std::wstring() : keyPath.substr(start);
}

} // namespace

std::wstring DownloadRegistry::SectionName() const
{
    return L"Registry";
}

BOOL DownloadRegistry::ParseSection(IXMLDOMNode* element, const std::wstring& keyPath)
{
    return ParseLevel(element, keyPath, 0);
}

BOOL DownloadRegistry::ParseLevel(IXMLDOMNode* element, const std::wstring& keyPath, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(SectionName());
        return FALSE;
    }
    NodeIterator keys(element, L"Key");
    while (keys.Next()) {
        const std::wstring name = keys.Attribute(L"Name");
        if (name.empty())
            continue;
        if (!ParseLevel(keys.Current(), keyPath + L"\\" + name, depth + 1))
            return FALSE;
    }
    const std::wstring path = WithoutLeadingSeparators(keyPath);
    NodeIterator values(element, L"Value");
    while (values.Next()) {
        RegistryEntry entry;
        entry.keyPath = path;
        entry.action = values.Attribute(L"Action");
        entry.valueName = values.Attribute(L"Name");
        entries_.push_back(std::move(entry));
    }
    return TRUE;
}

BOOL DownloadRegistry::ProcessItems(const std::wstring&)
{
    // Registry changes are not carried out yet: only an empty list counts as done.
    return entries_.empty() ? TRUE : FALSE;
}

const std::vector<RegistryEntry>& DownloadRegistry::Entries() const
{
    return entries_;
}
