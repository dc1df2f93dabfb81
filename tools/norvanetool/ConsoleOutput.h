#pragma once
// Text for the standard streams. Under Wine these are often pipes to Unix programs, which
// expect UTF-8 bytes rather than console characters.
#include <windows.h>

#include <string>

namespace NorvaneTool {

// `stream` is STD_OUTPUT_HANDLE or STD_ERROR_HANDLE; a missing stream is silently skipped.
void WriteStream(DWORD stream, const std::wstring& text);

} // namespace NorvaneTool
