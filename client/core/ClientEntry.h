#pragma once
// The client's run from start to end, behind the Windows entry point.
#include <windows.h>

#include <string>

int RunClient(HINSTANCE instance, const std::wstring& commandLine, int showCommand);
