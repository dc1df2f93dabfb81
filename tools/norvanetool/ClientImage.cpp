#include "ClientImage.h"

#include "FullPath.h"
#include "ToolError.h"

namespace NorvaneTool {

namespace {

const wchar_t kRecordType[] = L"BINARY";
const WORD kRecordId = 99;

BOOL CALLBACK TakeFirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

} // namespace

ClientImage::ClientImage(const std::wstring& path)
    : module_(::LoadLibraryExW(FullPath(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
{
    if (!module_)
        throw ToolError::FromSystem(L"cannot open '" + path + L"' as a program", ::GetLastError());
}

WORD ClientImage::RecordLanguage() const
{
    WORD language = kDefaultRecordLanguage;
    // The enumeration reports failure when the callback stops it, and when there is no record;
    // either way `language` holds the answer.
    ::EnumResourceLanguagesW(module_.Get(), kRecordType, MAKEINTRESOURCEW(kRecordId), TakeFirstLanguage,
                             reinterpret_cast<LONG_PTR>(&language));
    return language;
}

bool ClientImage::RecordData(std::string& data) const
{
    HRSRC resource = ::FindResourceW(module_.Get(), MAKEINTRESOURCEW(kRecordId), kRecordType);
    HGLOBAL loaded = resource ? ::LoadResource(module_.Get(), resource) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    data.assign(static_cast<const char*>(bytes), ::SizeofResource(module_.Get(), resource));
    return true;
}

} // namespace NorvaneTool
