#pragma once
// Paths as the tool hands them to the system.
#include <string>

namespace NorvaneTool {

// The absolute form of `path`; throws ToolError when the system cannot form it. Programs are
// always loaded by their full path, or the loader would prefer a file of the same name
// beside the tool.
std::wstring FullPath(const std::wstring& path);

} // namespace NorvaneTool
