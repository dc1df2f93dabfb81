#include "ItemTrees.h"

#include "core/Log.h"

namespace {

BOOL ReadDirectoryLevel(IXMLDOMNode* element, const std::wstring& basePath, TagTranslator translator,
                        const std::wstring& sectionName, const LeafReader& readFile, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(sectionName);
        return FALSE;
    }
    NodeIterator directories(element, L"Directory");
    while (directories.Next()) {
        std::wstring childPath;
        if (!ChildDirectoryPath(basePath, directories.Attribute(L"Name"), translator, childPath))
            return FALSE;
        if (!ReadDirectoryLevel(directories.Current(), childPath, translator, sectionName, readFile, depth + 1))
            return FALSE;
    }
    NodeIterator files(element, L"File");
    while (files.Next())
        readFile(files, basePath);
    return TRUE;
}

BOOL ReadPhaseLevel(IXMLDOMNode* element, const std::wstring& phase, const wchar_t* missingPhaseLine,
                    const std::wstring& sectionName, const LeafReader& readItem, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(sectionName);
        return FALSE;
    }
    NodeIterator phases(element, L"RunAt");
    while (phases.Next()) {
        const std::wstring name = phases.Attribute(L"Name");
        if (name.empty()) {
            g_log.Line(missingPhaseLine);
            continue;
        }
        if (!ReadPhaseLevel(phases.Current(), name, missingPhaseLine, sectionName, readItem, depth + 1))
            return FALSE;
    }
    NodeIterator items(element, L"Execute");
    while (items.Next())
        readItem(items, phase);
    return TRUE;
}

} // namespace

BOOL ReadDirectoryTree(IXMLDOMNode* element, const std::wstring& basePath, TagTranslator translator,
                       const std::wstring& sectionName, const LeafReader& readFile)
{
    return ReadDirectoryLevel(element, basePath, translator, sectionName, readFile, 0);
}

BOOL ReadPhaseTree(IXMLDOMNode* element, const std::wstring& phase, const wchar_t* missingPhaseLine,
                   const std::wstring& sectionName, const LeafReader& readItem)
{
    return ReadPhaseLevel(element, phase, missingPhaseLine, sectionName, readItem, 0);
}
