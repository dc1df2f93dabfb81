#pragma once
// Scratch files and folders for tests, removed when the test ends.
#include <windows.h>

#include <string>

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

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

} // namespace TestSupport
