#pragma once
// Whole small files read into memory.
#include <string>

namespace NorvaneTool {

// The bytes of a file of at most `limit` bytes; throws ToolError when it cannot be read or is larger.
std::string ReadFileBytes(const std::wstring& path, unsigned long limit);

} // namespace NorvaneTool
