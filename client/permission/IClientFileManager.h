#pragma once
// The one interface through which the client changes files and the registry.
#include <windows.h>

#include <string>

namespace PermissionManager {

// Results are 32-bit: nonzero is success unless an operation says otherwise.
class IClientFileManager {
public:
    virtual ~IClientFileManager() {}
    virtual BOOL Open(const std::wstring& path, DWORD desiredAccess, DWORD creationDisposition,
                      DWORD flagsAndAttributes) = 0;
    virtual BOOL Write(const void* data, DWORD count) = 0;
    virtual DWORD Read(void* buffer, DWORD count) = 0;
    virtual BOOL Close() = 0;
    virtual BOOL MakeDirectories(const std::wstring& folderPath) = 0;
    virtual BOOL CopyTo(const std::wstring& existingPath, const std::wstring& newPath) = 0;
    virtual BOOL MoveTo(const std::wstring& existingPath, const std::wstring& newPath) = 0;
    virtual BOOL RemoveFile(const std::wstring& path) = 0;
    virtual BOOL RemoveTree(const std::wstring& path) = 0;
    virtual DWORD GetAttributes(const std::wstring& path) = 0;
    virtual BOOL SetAttributes(const std::wstring& path, DWORD attributes) = 0;
    virtual void SetTimes(const FILETIME* creation, const FILETIME* lastAccess,
                          const FILETIME* lastWrite) = 0;
    virtual BOOL ApplyRegistryAction(const std::wstring& keyPath, const std::wstring& valueName,
                                     const std::wstring& action) = 0;
    virtual std::wstring QueryRegistryValue(const std::wstring& valuePath, const std::wstring& type) = 0;
    virtual BOOL RegisterComServer(const std::wstring& dllPath) = 0;
    // Count of extracted entries, 0, or the negative codes of the installation.
    virtual LONG ExtractZip(const std::wstring& archivePath, const std::wstring& targetFolder) = 0;
};

// A new back end for one task; the caller deletes it.
IClientFileManager* CreateFileManager();

// Whether a permission manager answered when the first back end was made.
bool IsPermissionManagerActive();

} // namespace PermissionManager
