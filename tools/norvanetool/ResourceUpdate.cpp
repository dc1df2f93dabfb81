#include "ResourceUpdate.h"

#include "ToolError.h"

namespace NorvaneTool {

ResourceUpdate::ResourceUpdate(const std::wstring& path)
    : path_(path), update_(::BeginUpdateResourceW(path.c_str(), FALSE))
{
    if (!update_)
        throw ToolError::FromSystem(L"cannot update the resources of '" + path_ + L"'", ::GetLastError());
}

ResourceUpdate::~ResourceUpdate()
{
    if (update_)
        ::EndUpdateResourceW(update_, TRUE);
}

void ResourceUpdate::Replace(LPCWSTR type, LPCWSTR name, WORD language, std::string data)
{
    if (!::UpdateResourceW(update_, type, name, language, &data[0], static_cast<DWORD>(data.size())))
        throw ToolError::FromSystem(L"cannot store the record in '" + path_ + L"'", ::GetLastError());
}

void ResourceUpdate::Commit()
{
    HANDLE update = update_;
    update_ = nullptr;
    if (!::EndUpdateResourceW(update, FALSE))
        throw ToolError::FromSystem(L"cannot write the resources of '" + path_ + L"'", ::GetLastError());
}

} // namespace NorvaneTool
