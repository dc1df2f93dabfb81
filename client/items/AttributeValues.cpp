#include "AttributeValues.h"

#include <cwchar>
#include <cwctype>

bool IsTrueText(const std::wstring& text)
{
    return ::_wcsicmp(text.c_str(), L"True") == 0;
}

LONG DecimalValue(const std::wstring& text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t'))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) {
        negative = text[at] == L'-';
        ++at;
    }
    // Accumulated in 64 bits and clamped, so an absurdly long number cannot wrap around.
    long long value = 0;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<LONG>(negative ? -value : value);
}

namespace {

int HexDigit(wchar_t unit)
{
    if (unit >= L'0' && unit <= L'9')
        return unit - L'0';
    if (unit >= L'a' && unit <= L'f')
        return unit - L'a' + 10;
    if (unit >= L'A' && unit <= L'F')
        return unit - L'A' + 10;
    return -1;
}

} // namespace

bool HexValue(const std::wstring& text, DWORD& value)
{
    value = 0;
    std::size_t at = 0;
    while (at < text.size() && (text[at] == L' ' || text[at] == L'\t'))
        ++at;
    if (text.compare(at, 2, L"0x") == 0 || text.compare(at, 2, L"0X") == 0)
        at += 2;
    unsigned long long result = 0;
    std::size_t digits = 0;
    for (; at < text.size() && HexDigit(text[at]) >= 0; ++at, ++digits) {
        result = result * 16 + static_cast<unsigned>(HexDigit(text[at]));
        if (result > 0xFFFFFFFFull)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<DWORD>(result);
    return true;
}
