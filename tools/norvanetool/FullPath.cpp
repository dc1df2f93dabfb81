#include "FullPath.h"

#include "ToolError.h"

#include <windows.h>

namespace NorvaneTool {

std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size ? ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr) : 0;
    if (length == 0 || length >= size)
        throw ToolError::FromSystem(L"cannot use the path '" + path + L"'", ::GetLastError());
    full.resize(length);
    return full;
}

} // namespace NorvaneTool
