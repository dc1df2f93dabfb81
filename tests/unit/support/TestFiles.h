#pragma once
// Scratch files and folders for tests, removed when the test ends.
#include <windows.h>

#include <string>
#include <vector>

namespace TestSupport {

// A fresh folder under the temporary folder, removed with its contents on destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return path_; } // with a trailing backslash
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

// Changes the current directory for one test and restores it afterwards.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::wstring& path)
    {
        wchar_t saved[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, saved);
        saved_ = saved;
        ::SetCurrentDirectoryW(path.c_str());
    }
    ~CurrentDirectory() { ::SetCurrentDirectoryW(saved_.c_str()); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::wstring saved_;
};

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// Names directly inside `folder` (with its trailing backslash), "." and ".." left out.
std::vector<std::wstring> FolderNames(const std::wstring& folder);

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

// The folder of the archives tests/fixtures/make_zips.py writes (with a trailing backslash):
// CTest passes it in NORVANE_ZIP_FIXTURES; a direct run finds it where the last CTest run left
// it, beside the program's folder.
std::wstring ZipFixtureFolder();
// "<that folder><name>.zip"
std::wstring ZipFixture(const std::wstring& name);

} // namespace TestSupport
