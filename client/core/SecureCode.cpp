#include "SecureCode.h"

#include "items/Crc32Static.h"

#include <cwchar>

namespace {

const wchar_t kCodeTag[] = L"<SecureCode>";
// The covered text starts after as many characters as the bare root tag has, whatever the
// real tag holds, so attributes of the root are covered from their ninth character on.
const std::wstring::size_type kRootTagLength = 9; // "<Norvane>"

} // namespace

bool CoveredTextCrc(const std::wstring& rootXml, DWORD& crc)
{
    const std::wstring::size_type tag = rootXml.rfind(kCodeTag);
    if (tag == std::wstring::npos)
        return false;
    const std::wstring covered =
        tag > kRootTagLength ? rootXml.substr(kRootTagLength, tag - kRootTagLength) : std::wstring();
    CCrc32Static::TextCrc32(covered, crc);
    return true;
}

DWORD HexCodeValue(const std::wstring& text)
{
    return static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 16));
}
