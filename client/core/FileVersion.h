#pragma once
// Version numbers read from a file's version resource.
#include <string>

// "%d.%d.%d.%d" of the file version; empty when the file has no version resource.
std::wstring FileVersionText(const std::wstring& path);
