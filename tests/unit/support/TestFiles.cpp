#include "TestFiles.h"

#include <shellapi.h>

#include <cstdlib>

#include <vector>

namespace TestSupport {

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp) + L"norvane-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-"
        + std::to_wstring(::InterlockedIncrement(&counter)) + L"\\";
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    std::wstring from = path_.substr(0, path_.size() - 1);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    ::SHFileOperationW(&operation);
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    ::CloseHandle(file);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FolderNames(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
}

std::wstring ProgramFolder()
{
    wchar_t own[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring ZipFixtureFolder()
{
    const wchar_t* fromCtest = _wgetenv(L"NORVANE_ZIP_FIXTURES");
    std::wstring folder = fromCtest != nullptr && *fromCtest != L'\0' ? std::wstring(fromCtest)
                                                                      : ProgramFolder() + L"..\\zip-fixtures";
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring ZipFixture(const std::wstring& name)
{
    return ZipFixtureFolder() + name + L".zip";
}

} // namespace TestSupport
