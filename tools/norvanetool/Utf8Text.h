#pragma once
// Conversions between the UTF-8 of files and pipes and the UTF-16 used inside the tool.
#include <string>

namespace NorvaneTool {

// False when `text` is not well-formed UTF-8; `result` then holds no usable text.
bool Utf8ToWide(const std::string& text, std::wstring& result);

// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

} // namespace NorvaneTool
