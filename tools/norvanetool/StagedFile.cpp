#include "StagedFile.h"

#include "FullPath.h"
#include "ToolError.h"

#include <windows.h>

namespace NorvaneTool {

namespace {

std::wstring FolderOf(const std::wstring& path)
{
    const std::wstring full = FullPath(path);
    const std::size_t separator = full.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : full.substr(0, separator + 1);
}

} // namespace

StagedFile::StagedFile(const std::wstring& destination) : destination_(destination)
{
    const std::wstring folder = FolderOf(destination);
    wchar_t name[MAX_PATH] = {};
    if (!::GetTempFileNameW(folder.c_str(), L"nvt", 0, name))
        throw ToolError::FromSystem(L"cannot create a file in '" + folder + L"'", ::GetLastError());
    path_ = name;
}

StagedFile::~StagedFile()
{
    if (path_.empty())
        return;
    // A copy of a read-only file is read-only too, and could not be deleted.
    ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path_.c_str());
}

void StagedFile::PutInPlace()
{
    if (!::MoveFileExW(path_.c_str(), destination_.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw ToolError::FromSystem(L"cannot write '" + destination_ + L"'", ::GetLastError());
    path_.clear();
}

} // namespace NorvaneTool
