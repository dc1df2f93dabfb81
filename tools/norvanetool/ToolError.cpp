#include "ToolError.h"

namespace NorvaneTool {

namespace {

std::wstring SystemText(DWORD code)
{
    wchar_t text[512] = {};
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          code, 0, text, static_cast<DWORD>(sizeof text / sizeof text[0]), nullptr);
    std::wstring result(text, length);
    // Some texts expect the file name as an insert; the message names the file already.
    const std::size_t insert = result.find(L"%1");
    if (insert != std::wstring::npos)
        result.replace(insert, 2, L"the file");
    // System texts end with a line break, which would split our one-line messages.
    while (!result.empty() && (result.back() == L'\r' || result.back() == L'\n' || result.back() == L' '))
        result.pop_back();
    if (result.empty())
        result = L"system error " + std::to_wstring(code);
    return result;
}

} // namespace

ToolError ToolError::FromSystem(const std::wstring& what, DWORD code)
{
    return ToolError(what + L": " + SystemText(code));
}

} // namespace NorvaneTool
