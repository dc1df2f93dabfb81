#pragma once
// How attribute texts of the update description read as flags and numbers. Malformed numbers
// never fail: they read as what their leading part says, or 0.
#include <windows.h>

#include <string>

// True only for "True" in any letter case.
bool IsTrueText(const std::wstring& text);

// A signed decimal number (leading blanks and sign allowed); 0 when there are no digits,
// clamped to the 32-bit range.
LONG DecimalValue(const std::wstring& text);

// A hexadecimal 32-bit number; false when the text does not begin with a hex digit or does
// not fit 32 bits, and `value` is then 0.
bool HexValue(const std::wstring& text, DWORD& value);
