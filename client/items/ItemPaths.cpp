#include "ItemPaths.h"

#include "DirectoryTags.h"
#include "core/Log.h"

bool ChildDirectoryPath(const std::wstring& basePath, const std::wstring& name,
                        TagTranslator translator, std::wstring& childPath)
{
    std::wstring folder = name;
    if (!name.empty() && name[0] == L'<') {
        folder = translator ? translator(name) : TranslateDirectoryTag(name);
        if (folder.empty()) {
            g_log.Item(L"Directory tag translation failed", name);
            return false;
        }
    }
    if (basePath.empty()) {
        childPath = folder;
        return true;
    }
    std::wstring::size_type end = basePath.find_last_not_of(L'\\');
    childPath = (end == std::wstring::npos ? std::wstring() : basePath.substr(0, end + 1)) + L"\\" + folder;
    return true;
}

std::wstring ItemLocalPath(const std::wstring& basePath, const std::wstring& name)
{
    return NormalizePath(basePath + L"\\" + name);
}

void LogNestingTooDeep(const std::wstring& sectionName)
{
    g_log.Item(L"Item nesting too deep, section not read further", sectionName);
}
