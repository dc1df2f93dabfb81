#include "FileBytes.h"

#include "ToolError.h"
#include "common/UniqueHandle.h"

#include <windows.h>

namespace NorvaneTool {

std::string ReadFileBytes(const std::wstring& path, unsigned long limit)
{
    Common::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw ToolError::FromSystem(L"cannot open '" + path + L"'", ::GetLastError());
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.Get(), &size))
        throw ToolError::FromSystem(L"cannot read '" + path + L"'", ::GetLastError());
    if (size.QuadPart > static_cast<LONGLONG>(limit))
        throw ToolError(L"'" + path + L"' is larger than " + std::to_wstring(limit) + L" bytes");

    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        throw ToolError::FromSystem(L"cannot read '" + path + L"'", ::GetLastError());
    // A file that shrank meanwhile yields what is left of it.
    bytes.resize(read);
    return bytes;
}

} // namespace NorvaneTool
