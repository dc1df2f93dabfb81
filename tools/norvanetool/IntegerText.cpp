#include "IntegerText.h"

namespace NorvaneTool {

bool ParseInteger(const std::wstring& text, int32_t& value)
{
    const bool negative = !text.empty() && text[0] == L'-';
    const std::size_t first = negative ? 1 : 0;
    if (text.size() == first)
        return false;
    // The magnitude of INT32_MIN is one more than INT32_MAX, so the limit depends on the sign.
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    int64_t magnitude = 0;
    for (std::size_t i = first; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

std::wstring FormatInteger(int32_t value)
{
    return std::to_wstring(value);
}

} // namespace NorvaneTool
