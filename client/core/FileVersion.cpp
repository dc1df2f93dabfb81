#include "FileVersion.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Up to four decimal parts; missing parts are 0, repeated dots count as one.
bool ParseVersion(const std::wstring& text, int32_t (&parts)[4])
{
    int count = 0;
    std::wstring::size_type at = 0;
    for (int i = 0; i < 4; ++i)
        parts[i] = 0;
    while (at < text.size()) {
        const std::wstring::size_type end = std::min(text.find(L'.', at), text.size());
        if (end > at) {
            if (count == 4)
                return false;
            uint32_t value = 0;
            for (std::wstring::size_type i = at; i < end; ++i) {
                if (text[i] < L'0' || text[i] > L'9')
                    return false;
                value = value * 10U + static_cast<uint32_t>(text[i] - L'0');
            }
            parts[count++] = static_cast<int32_t>(value);
        }
        at = end + 1;
    }
    return count > 0;
}

} // namespace

std::wstring FileVersionText(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::wstring();
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return std::wstring();
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info
        || length < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();
    const DWORD high = info->dwFileVersionMS;
    const DWORD low = info->dwFileVersionLS;
    const std::wstring majorMinor = std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high));
    if (low != 0)
        return majorMinor + L"." + std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
    return high != 0 ? majorMinor : std::wstring();
}

int CompareVersions(const std::wstring& a, const std::wstring& b)
{
    int32_t first[4], second[4];
    if (!ParseVersion(a, first))
        return kFirstVersionInvalid;
    if (!ParseVersion(b, second))
        return kSecondVersionInvalid;
    for (int i = 0; i < 4; ++i) {
        if (first[i] != second[i])
            return first[i] > second[i] ? 1 : -1;
    }
    return 0;
}
