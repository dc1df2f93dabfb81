#pragma once
// A one-off message to the user, owned by `owner` (may be null).
#include <windows.h>

#include <string>

void ShowMessageOnly(HWND owner, const std::wstring& text);
