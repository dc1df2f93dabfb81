#include "StandardFileManagement.h"

#include "ZipExtraction.h"

#include "common/UniqueHandle.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

namespace PermissionManager {

namespace {

const wchar_t kDefaultValueName[] = L"(Default)";
const DWORD kStringValueCapacity = 512;

struct RegistryPath {
    HKEY root;
    std::wstring subKey;
};

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The text after its first `skipped` units; empty when there is nothing after them.
std::wstring Tail(const std::wstring& text, std::wstring::size_type skipped)
{
    return skipped < text.size() ? text.substr(skipped) : std::wstring();
}

std::wstring WithoutTrailingBackslashes(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

// Length of the part that cannot be created as a folder: "C:", or "\\server\share" on a network.
std::wstring::size_type VolumeLength(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return 2;
    if (!StartsWith(path, L"\\\\"))
        return 0;
    // A share is never created with CreateDirectory, so it counts as part of the volume.
    const std::wstring::size_type server = path.find(L'\\', 2);
    const std::wstring::size_type share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path.size() : share;
}

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

RegistryPath SplitRegistryPath(const std::wstring& keyPath)
{
    static const struct {
        const wchar_t* name;
        HKEY root;
    } roots[] = {
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKEY_USERS", HKEY_USERS},
    };
    for (const auto& candidate : roots) {
        if (!StartsWith(keyPath, candidate.name))
            continue;
        std::wstring::size_type start = std::wcslen(candidate.name);
        if (start < keyPath.size() && keyPath[start] == L'\\')
            ++start;
        return RegistryPath{candidate.root, keyPath.substr(start)};
    }
    // Without a root a path names a key of the user the client runs for.
    return RegistryPath{HKEY_CURRENT_USER, keyPath};
}

Common::UniqueKey OpenKey(const RegistryPath& where, REGSAM access)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(where.root, where.subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return Common::UniqueKey();
    return Common::UniqueKey(key);
}

Common::UniqueKey CreateKey(const RegistryPath& where)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(where.root, where.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return Common::UniqueKey();
    return Common::UniqueKey(key);
}

void RemoveKeyTree(const RegistryPath& where)
{
    // Without a key name the delete would empty the whole root.
    if (where.subKey.find_first_not_of(L'\\') == std::wstring::npos)
        return;
    HKEY root = nullptr;
    if (::RegOpenKeyExW(where.root, nullptr, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS)
        return;
    const Common::UniqueKey rootKey(root);
    ::SHDeleteKeyW(rootKey.Get(), where.subKey.c_str());
}

void DeleteValue(const RegistryPath& where, const std::wstring& valueName)
{
    const Common::UniqueKey key = OpenKey(where, KEY_ALL_ACCESS);
    if (key)
        ::RegDeleteValueW(key.Get(), valueName.c_str());
}

bool SetStringValue(HKEY key, const std::wstring& valueName, const std::wstring& text)
{
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            bytes) == ERROR_SUCCESS;
}

bool SetDwordValue(HKEY key, const std::wstring& valueName, DWORD value)
{
    return ::RegSetValueExW(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value) == ERROR_SUCCESS;
}

// "Add REG_SZ text" or "Add REG_DWORD number"; short or odd actions fall back to an empty text
// or the number 0 rather than reading past their end.
bool AddValue(const RegistryPath& where, const std::wstring& valueName, const std::wstring& action)
{
    const std::wstring typeAndData = Tail(action, 4);
    const Common::UniqueKey key = CreateKey(where);
    if (!key)
        return false;
    if (StartsWith(typeAndData, L"REG_SZ"))
        return SetStringValue(key.Get(), valueName, Tail(typeAndData, 7));
    const long number = std::wcstol(Tail(typeAndData, 10).c_str(), nullptr, 10);
    return SetDwordValue(key.Get(), valueName, static_cast<DWORD>(number));
}

bool ApplyAction(const RegistryPath& where, const std::wstring& valueName, const std::wstring& action)
{
    if (action == L"Create")
        return static_cast<bool>(CreateKey(where));
    // Removing or deleting what is already gone leaves the machine as the update wants it.
    if (action == L"Remove") {
        RemoveKeyTree(where);
        return true;
    }
    if (action == L"Delete") {
        DeleteValue(where, valueName);
        return true;
    }
    if (action.find(L"Add") != std::wstring::npos)
        return AddValue(where, valueName, action);
    return true;
}

std::wstring ReadStringValue(HKEY key, const std::wstring& valueName)
{
    wchar_t buffer[kStringValueCapacity];
    DWORD type = 0;
    DWORD bytes = sizeof buffer;
    if (::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS)
        return std::wstring();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::wstring();
    // Stored strings need not end in a zero: only the units actually returned count.
    const std::wstring::size_type units = std::min<DWORD>(bytes / sizeof(wchar_t), kStringValueCapacity);
    std::wstring text(buffer, units);
    const std::wstring::size_type end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

std::wstring ReadDwordText(HKEY key, const std::wstring& valueName)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD bytes = sizeof value;
    if (::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof value)
        return std::wstring();
    return std::to_wstring(static_cast<LONG>(value));
}

using RegisterServerFunction = HRESULT(STDAPICALLTYPE*)();

} // namespace

StandardFileManagement::StandardFileManagement() : readPosition_(0), sizeAtOpen_(0), file_(nullptr) {}

StandardFileManagement::~StandardFileManagement()
{
    Close();
}

BOOL StandardFileManagement::Open(const std::wstring& path, DWORD desiredAccess, DWORD creationDisposition,
                                  DWORD flagsAndAttributes)
{
    Close();
    if ((desiredAccess & GENERIC_WRITE) != 0 && !EnsureFolderOf(path))
        return FALSE;
    // Nothing may run between a failed CreateFile and the return: callers report its last error.
    const HANDLE file = ::CreateFileW(path.c_str(), desiredAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      creationDisposition, flagsAndAttributes, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    file_ = file;
    readPosition_ = 0;
    const DWORD size = ::GetFileSize(file_, nullptr);
    sizeAtOpen_ = size == INVALID_FILE_SIZE ? 0 : size;
    return TRUE;
}

BOOL StandardFileManagement::Write(const void* data, DWORD count)
{
    if (count == 0)
        return TRUE;
    if (file_ == nullptr)
        return FALSE;
    DWORD written = 0;
    return ::WriteFile(file_, data, count, &written, nullptr) && written == count;
}

DWORD StandardFileManagement::Read(void* buffer, DWORD count)
{
    // Reading stops at the size seen at open, so a file that grows meanwhile still ends.
    if (file_ == nullptr || count == 0 || readPosition_ >= sizeAtOpen_)
        return 0;
    DWORD got = 0;
    if (!::ReadFile(file_, buffer, count, &got, nullptr))
        return 0;
    readPosition_ = got > MAXDWORD - readPosition_ ? MAXDWORD : readPosition_ + got;
    return got;
}

BOOL StandardFileManagement::Close()
{
    if (file_ == nullptr)
        return FALSE;
    const BOOL closed = ::CloseHandle(file_);
    file_ = nullptr;
    return closed;
}

BOOL StandardFileManagement::MakeDirectories(const std::wstring& folderPath)
{
    const std::wstring path = WithoutTrailingBackslashes(folderPath) + L'\\';
    const std::wstring::size_type volume = VolumeLength(path);
    for (std::wstring::size_type end = path.find(L'\\', volume); end != std::wstring::npos;
         end = path.find(L'\\', end + 1)) {
        if (end <= volume)
            continue;
        if (!::CreateDirectoryW(path.substr(0, end).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return FALSE;
    }
    return TRUE;
}

bool StandardFileManagement::EnsureFolderOf(const std::wstring& path)
{
    const std::wstring::size_type lastBackslash = path.rfind(L'\\');
    const std::wstring folder =
        WithoutTrailingBackslashes(lastBackslash == std::wstring::npos ? std::wstring() : path.substr(0, lastBackslash));
    return IsDirectory(folder) || MakeDirectories(folder);
}

BOOL StandardFileManagement::CopyTo(const std::wstring& existingPath, const std::wstring& newPath)
{
    if (!EnsureFolderOf(newPath))
        return FALSE;
    return ::CopyFileW(existingPath.c_str(), newPath.c_str(), FALSE);
}

BOOL StandardFileManagement::MoveTo(const std::wstring& existingPath, const std::wstring& newPath)
{
    if (!EnsureFolderOf(newPath))
        return FALSE;
    return ::MoveFileW(existingPath.c_str(), newPath.c_str());
}

BOOL StandardFileManagement::RemoveFile(const std::wstring& path)
{
    return ::DeleteFileW(path.c_str());
}

BOOL StandardFileManagement::RemoveTree(const std::wstring& path)
{
    // The shell takes a list of names: a cut, empty or zero-split name would make it delete
    // something else (a shorter path, the current folder), so such names are left alone.
    if (path.empty() || path.size() >= MAX_PATH || path.find(L'\0') != std::wstring::npos)
        return TRUE;
    wchar_t from[MAX_PATH + 1] = {};
    path.copy(from, path.size());
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.fFlags = static_cast<FILEOP_FLAGS>(FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI);
    ::SHFileOperationW(&operation);
    return TRUE;
}

DWORD StandardFileManagement::GetAttributes(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str());
}

BOOL StandardFileManagement::SetAttributes(const std::wstring& path, DWORD attributes)
{
    return ::SetFileAttributesW(path.c_str(), attributes);
}

void StandardFileManagement::SetTimes(const FILETIME* creation, const FILETIME* lastAccess,
                                      const FILETIME* lastWrite)
{
    if (file_ != nullptr)
        ::SetFileTime(file_, creation, lastAccess, lastWrite);
}

BOOL StandardFileManagement::ApplyRegistryAction(const std::wstring& keyPath, const std::wstring& valueName,
                                                 const std::wstring& action)
{
    try {
        const std::wstring name = valueName == kDefaultValueName ? std::wstring() : valueName;
        return ApplyAction(SplitRegistryPath(keyPath), name, action) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

std::wstring StandardFileManagement::QueryRegistryValue(const std::wstring& valuePath, const std::wstring& type)
{
    try {
        const std::wstring::size_type lastBackslash = valuePath.rfind(L'\\');
        if (lastBackslash == std::wstring::npos)
            return std::wstring();
        const Common::UniqueKey key = OpenKey(SplitRegistryPath(valuePath.substr(0, lastBackslash)), KEY_READ);
        if (!key)
            return std::wstring();
        const std::wstring valueName = valuePath.substr(lastBackslash + 1);
        if (StartsWith(type, L"REG_SZ"))
            return ReadStringValue(key.Get(), valueName);
        if (StartsWith(type, L"REG_DWORD"))
            return ReadDwordText(key.Get(), valueName);
        return std::wstring();
    } catch (...) {
        return std::wstring();
    }
}

BOOL StandardFileManagement::RegisterComServer(const std::wstring& dllPath)
{
    try {
        const Common::UniqueLibrary library(::LoadLibraryW(dllPath.c_str()));
        if (!library)
            return FALSE;
        const FARPROC entry = ::GetProcAddress(library.Get(), "DllRegisterServer");
        if (entry == nullptr)
            return FALSE;
        // Through the generic function type, which converts to any other without a warning.
        const RegisterServerFunction registerServer =
            reinterpret_cast<RegisterServerFunction>(reinterpret_cast<void (*)()>(entry));
        registerServer();
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

LONG StandardFileManagement::ExtractZip(const std::wstring& archivePath, const std::wstring& targetFolder)
{
    try {
        return ExtractZipArchive(archivePath, targetFolder,
                                 [this](const std::wstring& folder) { return MakeDirectories(folder) != FALSE; });
    } catch (...) {
        // Only memory can run out on the way; the archive then counts as not extracted.
        return kZipCannotExtract;
    }
}

} // namespace PermissionManager
