#pragma once
// The file manager that performs every operation directly with the calling process's rights.
#include "IClientFileManager.h"

namespace PermissionManager {

class StandardFileManagement : public IClientFileManager {
public:
    StandardFileManagement();
    ~StandardFileManagement() override;
    StandardFileManagement(const StandardFileManagement&) = delete;
    StandardFileManagement& operator=(const StandardFileManagement&) = delete;

    BOOL Open(const std::wstring& path, DWORD desiredAccess, DWORD creationDisposition,
              DWORD flagsAndAttributes) override;
    BOOL Write(const void* data, DWORD count) override;
    DWORD Read(void* buffer, DWORD count) override;
    BOOL Close() override;
    BOOL MakeDirectories(const std::wstring& folderPath) override;
    BOOL CopyTo(const std::wstring& existingPath, const std::wstring& newPath) override;
    BOOL MoveTo(const std::wstring& existingPath, const std::wstring& newPath) override;
    BOOL RemoveFile(const std::wstring& path) override;
    BOOL RemoveTree(const std::wstring& path) override;
    DWORD GetAttributes(const std::wstring& path) override;
    BOOL SetAttributes(const std::wstring& path, DWORD attributes) override;
    void SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) override;
    BOOL ApplyRegistryAction(const std::wstring& keyPath, const std::wstring& valueName,
                             const std::wstring& action) override;
    std::wstring QueryRegistryValue(const std::wstring& valuePath, const std::wstring& type) override;
    BOOL RegisterComServer(const std::wstring& dllPath) override;
    LONG ExtractZip(const std::wstring& archivePath, const std::wstring& targetFolder) override;

private:
    // Creates the folder a file is to be written into when it is missing.
    bool EnsureFolderOf(const std::wstring& path);

    DWORD readPosition_;
    DWORD sizeAtOpen_;
    HANDLE file_;
};

} // namespace PermissionManager
