#pragma once
// The decimal form of the record's 32-bit integer fields.
#include <cstdint>
#include <string>

namespace NorvaneTool {

// Accepts an optional '-' followed by one or more decimal digits, within the int32 range;
// nothing else, not even blanks. `value` is left untouched on failure.
bool ParseInteger(const std::wstring& text, int32_t& value);

std::wstring FormatInteger(int32_t value);

} // namespace NorvaneTool
