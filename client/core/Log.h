#pragma once
// The per-run UTF-16 log beside the client: the only diagnostic channel of a silent run.
#include <windows.h>

#include <memory>
#include <string>

namespace PermissionManager { class IClientFileManager; }

class Log {
public:
    Log();
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Only the first call takes effect.
    void SetUp(const std::wstring& fileName, bool disabled);
    bool Open();
    void Close();
    bool IsOpen() const;

    void Line(const std::wstring& text);
    void Item(const std::wstring& label, const std::wstring& text);
    void Item2(const std::wstring& label, const std::wstring& first, const std::wstring& second);
    void Number(const std::wstring& label, unsigned long n);
    void ItemNumber(const std::wstring& label, const std::wstring& text, unsigned long n);
    void Heading(const std::wstring& text);
    void Blank();

    void ItemError(const std::wstring& label, DWORD code);
    void LastError(const std::wstring& label);
    void Header(const std::wstring& clientVersion, const std::wstring& osName);

    void WriteText(const std::wstring& text);
    void WriteBytes(const void* data, DWORD count);

    static std::wstring ErrorText(DWORD code);

private:
    std::unique_ptr<PermissionManager::IClientFileManager> backEnd_;
    bool disabled_;
    std::wstring fileName_;
};

extern Log g_log;
