#pragma once
// Bounded access to fixed-width, zero-terminated UTF-16 fields (record, pipe, dialog buffers).
#include <cstddef>
#include <string>

namespace Common {

// The text of a field: up to its first zero unit, never beyond its width.
template <std::size_t Width>
std::wstring FieldText(const wchar_t (&field)[Width])
{
    std::size_t length = 0;
    while (length < Width && field[length] != L'\0')
        ++length;
    return std::wstring(field, length);
}

// Stores `text` zero-padded into a field; false (and the field left untouched) when the
// text and its terminator do not fit.
template <std::size_t Width>
bool StoreFieldText(wchar_t (&field)[Width], const std::wstring& text)
{
    if (text.size() >= Width)
        return false;
    for (std::size_t i = 0; i < Width; ++i)
        field[i] = i < text.size() ? text[i] : L'\0';
    return true;
}

} // namespace Common
