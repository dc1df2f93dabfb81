#include "DirectoryTags.h"

#include "common/ModulePath.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>

const DirectoryTag kDirectoryTags[kDirectoryTagCount] = {
    {L"<ApplicationDir>", 0, L"The directory where your application (and the update client) has been installed"},
    {L"<CommonAppDataDir>", 0x23, L"C:\\Documents and Settings\\All Users\\Application Data"},
    {L"<CommonDesktopDir>", 0x19, L"C:\\Documents and Settings\\All Users\\Desktop"},
    {L"<CommonProgramFilesDir>", 0x2B, L"C:\\Program Files\\Common"},
    {L"<CurrentDrive>", 0, L"C:\\"},
    {L"<Desktop>", 0, L"The virtual folder representing the Windows desktop"},
    {L"<ProgramFilesDir>", 0x26, L"C:\\Program Files"},
    {L"<StartMenu>", 0x0B, L"C:\\Documents and Settings\\username\\Start Menu"},
    {L"<SystemDir>", 0x25, L"C:\\Windows\\System32"},
    {L"<WinDir>", 0x24, L"C:\\Windows"},
};

namespace {

struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const noexcept { ::CoTaskMemFree(list); }
};
using UniqueItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListFree>;

// "C:" of "C:\folder\client.exe"; a program started from a network share has no drive.
std::wstring DriveOf(const std::wstring& path)
{
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring();
}

const DirectoryTag* FindTag(const std::wstring& tag)
{
    for (const DirectoryTag& row : kDirectoryTags) {
        if (::_wcsicmp(row.tag, tag.c_str()) == 0)
            return &row;
    }
    return nullptr;
}

// Empty when the shell does not know the folder or it is not part of the file system.
std::wstring SpecialFolderPath(int folderCode)
{
    ITEMIDLIST* rawList = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, folderCode, &rawList)) || rawList == nullptr)
        return std::wstring();
    const UniqueItemIdList list(rawList);
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(list.get(), path))
        return std::wstring();
    return std::wstring(path);
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with)
{
    for (std::wstring::size_type at = text.find(what); at != std::wstring::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Paths relative to "." follow the current directory, which the user may have changed
// before starting the client; a result that would not fit a path buffer is not used.
std::wstring AbsoluteFromCurrentDirectory(const std::wstring& path)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return path;
    return std::wstring(full, length);
}

} // namespace

std::wstring TranslateDirectoryTag(const std::wstring& tag)
{
    if (tag == L"<ApplicationDir>")
        return Common::ModuleFolder();
    if (tag == L"<CurrentDrive>")
        return DriveOf(Common::ModulePath());
    // The two rows above carry folder code 0, so only their exact spelling reaches the
    // client's own folder; other spellings name the desktop like "<Desktop>" does.
    const DirectoryTag* row = FindTag(tag);
    if (row == nullptr)
        return Common::ModuleFolder();
    const std::wstring folder = SpecialFolderPath(row->folderCode);
    return folder.empty() ? Common::ModuleFolder() : folder;
}

std::wstring TranslateTaggedPath(const std::wstring& path)
{
    const std::wstring::size_type open = path.find(L'<');
    if (open == std::wstring::npos)
        return path;
    const std::wstring::size_type close = path.find(L'>', open);
    if (close == std::wstring::npos)
        return path;
    const std::wstring tag = path.substr(open, close - open + 1);
    return NormalizePath(TranslateDirectoryTag(tag) + path.substr(close + 1));
}

std::wstring NormalizePath(const std::wstring& path)
{
    std::wstring result = path;
    for (wchar_t& unit : result) {
        if (unit == L'/')
            unit = L'\\';
    }
    const bool network = result.size() > 1 && result.compare(0, 2, L"\\\\") == 0;
    if (!network && !result.empty() && result[0] == L'.')
        result = AbsoluteFromCurrentDirectory(result);
    // Joining a tag's folder to the rest of a path doubles separators, and forward slashes
    // turned round double them again; two passes collapse runs of up to four.
    ReplaceAll(result, L"\\\\", L"\\");
    ReplaceAll(result, L"\\\\", L"\\");
    if (network)
        result.insert(0, 1, L'\\');
    return result;
}
