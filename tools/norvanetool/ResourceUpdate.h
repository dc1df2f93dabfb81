#pragma once
// A pending change of an executable's resources, discarded unless committed.
#include <windows.h>

#include <string>

namespace NorvaneTool {

class ResourceUpdate {
public:
    // Throws ToolError when the file cannot be opened for a resource update.
    explicit ResourceUpdate(const std::wstring& path);
    ~ResourceUpdate();

    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;

    // Replaces the resource of that type, name and language, or adds it when there is none.
    void Replace(LPCWSTR type, LPCWSTR name, WORD language, std::string data);

    // Writes the changes into the file.
    void Commit();

private:
    std::wstring path_;
    HANDLE update_;
};

} // namespace NorvaneTool
