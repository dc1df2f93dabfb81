#include "DownloadShortcut.h"

#include "AttributeValues.h"
#include "DirectoryTags.h"
#include "ItemTrees.h"
#include "NodeIterator.h"

std::wstring DownloadShortcut::SectionName() const
{
    return L"Shortcut";
}

BOOL DownloadShortcut::ParseSection(IXMLDOMNode* element, const std::wstring& basePath)
{
    return ReadDirectoryTree(element, basePath, translateTag_, SectionName(),
                             [this](const NodeIterator& file, const std::wstring& path) { ParseFile(file, path); });
}

void DownloadShortcut::ParseFile(const NodeIterator& file, const std::wstring& basePath)
{
    ShortcutEntry entry;
    entry.linkPath = TranslateTaggedPath(ItemLocalPath(basePath, file.Attribute(L"Name")));
    entry.target = TranslateTaggedPath(file.Attribute(L"Target"));
    entry.iconSource = TranslateTaggedPath(file.Attribute(L"IconSource"));
    entry.iconIndex = DecimalValue(file.Attribute(L"IconIndex"));
    entry.description = file.Attribute(L"Description");
    entries_.push_back(std::move(entry));
}

BOOL DownloadShortcut::ProcessItems(const std::wstring&)
{
    // Shortcut creation is not carried out yet: only an empty list counts as done.
    return entries_.empty() ? TRUE : FALSE;
}

const std::vector<ShortcutEntry>& DownloadShortcut::Entries() const
{
    return entries_;
}

void DownloadShortcut::SetTagTranslator(TagTranslator translator)
{
    translateTag_ = translator;
}
