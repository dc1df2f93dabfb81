#include "DownloadShortcut.h"

#include "AttributeValues.h"
#include "DirectoryTags.h"
#include "NodeIterator.h"

std::wstring DownloadShortcut::SectionName() const
{
    return L"Shortcut";
}

BOOL DownloadShortcut::ParseSection(IXMLDOMNode* element, const std::wstring& basePath)
{
    return ParseLevel(element, basePath, 0);
}

BOOL DownloadShortcut::ParseLevel(IXMLDOMNode* element, const std::wstring& basePath, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(SectionName());
        return FALSE;
    }
    NodeIterator directories(element, L"Directory");
    while (directories.Next()) {
        std::wstring childPath;
        if (!ChildDirectoryPath(basePath, directories.Attribute(L"Name"), translateTag_, childPath))
            return FALSE;
        if (!ParseLevel(directories.Current(), childPath, depth + 1))
            return FALSE;
    }
    NodeIterator files(element, L"File");
    while (files.Next())
        ParseFile(files, basePath);
    return TRUE;
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
