#include "Utf8Text.h"

#include <windows.h>

#include <climits>

namespace NorvaneTool {

bool Utf8ToWide(const std::string& text, std::wstring& result)
{
    result.clear();
    if (text.empty())
        return true;
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0)
        return false;
    result.resize(static_cast<std::size_t>(length));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &result[0], length) == length;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX))
        return std::string();
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string result(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &result[0], length, nullptr, nullptr);
    return result;
}

} // namespace NorvaneTool
