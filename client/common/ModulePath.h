#pragma once
// Where the running program lives.
#include <string>

namespace Common {

// Full path of the running executable.
std::wstring ModulePath();

// Drive and folder of the running executable, with its trailing backslash.
std::wstring ModuleFolder();

} // namespace Common
