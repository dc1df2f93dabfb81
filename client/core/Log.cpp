#include "Log.h"

#include "common/ModulePath.h"
#include "permission/IClientFileManager.h"

#include <cwchar>

namespace {

// Whether this run has written a heading yet: only later headings get a blank line before them.
bool g_firstHeadingWritten = false;

const wchar_t kDefaultLogName[] = L"NorvaneLog.txt";

std::wstring TwoDigits(int value)
{
    wchar_t text[8];
    std::swprintf(text, 8, L"%02d", value % 100);
    return text;
}

} // namespace

Log::Log() : disabled_(false) {}

Log::~Log()
{
    Close();
}

void Log::SetUp(const std::wstring& fileName, bool disabled)
{
    if (!fileName_.empty())
        return;
    fileName_ = fileName;
    disabled_ = disabled;
    Open();
}

bool Log::Open()
{
    if (disabled_)
        return false;
    const std::wstring name = fileName_.empty() ? std::wstring(kDefaultLogName) : fileName_;
    // Bare names are taken relative to the client's folder; the entry point always passes a path.
    const std::wstring path = name.find(L'\\') != std::wstring::npos ? name : Common::ModuleFolder() + name;

    std::unique_ptr<PermissionManager::IClientFileManager> backEnd(PermissionManager::CreateFileManager());
    if (!backEnd->Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL))
        return false;
    backEnd_ = std::move(backEnd);

    const unsigned char byteOrderMark[2] = {0xFF, 0xFE};
    WriteBytes(byteOrderMark, sizeof byteOrderMark);
    Heading(L"Logging started");
    if (PermissionManager::IsPermissionManagerActive()) {
        Heading(L"Permission Manager Service is active");
    } else {
        Heading(L"Permission Manager Service is inactive.");
        Line(L"It is highly recommended that your deployment install the Permission Manager Service.");
        Line(L"This service will allow restricted (non-admin) users to update your software.");
        Line(L"To install use the /PermissionManagerInstall command-line flag.\r\n");
    }
    return true;
}

void Log::Close()
{
    if (!backEnd_)
        return;
    Line(L"End of recording");
    backEnd_->Close();
    backEnd_.reset();
}

bool Log::IsOpen() const
{
    return backEnd_ != nullptr;
}

void Log::Line(const std::wstring& text)
{
    WriteText(L"\t" + text + L"\r\n");
}

void Log::Item(const std::wstring& label, const std::wstring& text)
{
    WriteText(L"\t" + label + L":\t" + text + L"\r\n");
}

void Log::Item2(const std::wstring& label, const std::wstring& first, const std::wstring& second)
{
    WriteText(L"\t" + label + L":\t" + first + L", " + second + L"\r\n");
}

void Log::Number(const std::wstring& label, unsigned long n)
{
    WriteText(L"\t" + label + L":\t" + std::to_wstring(n) + L"\r\n");
}

void Log::ItemNumber(const std::wstring& label, const std::wstring& text, unsigned long n)
{
    WriteText(L"\t" + label + L":\t" + text + L", " + std::to_wstring(n) + L"\r\n");
}

void Log::Heading(const std::wstring& text)
{
    if (!backEnd_)
        return;
    const bool first = !g_firstHeadingWritten;
    g_firstHeadingWritten = true;
    WriteText((first ? L"" : L"\r\n") + text + L"\r\n");
}

void Log::Blank()
{
    Line(std::wstring());
}

void Log::ItemError(const std::wstring& label, DWORD code)
{
    if (code != 0)
        Item(label, ErrorText(code));
    else
        Line(label);
}

void Log::LastError(const std::wstring& label)
{
    ItemError(label, ::GetLastError());
}

void Log::Header(const std::wstring& clientVersion, const std::wstring& osName)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const std::wstring date = TwoDigits(now.wMonth) + L"/" + TwoDigits(now.wDay) + L"/" + TwoDigits(now.wYear);
    const std::wstring time = TwoDigits(now.wHour) + L":" + TwoDigits(now.wMinute) + L":" + TwoDigits(now.wSecond);
    Item2(L"Date", date, time);
    Item(L"Client", clientVersion);
    Item(L"OS", osName);
}

void Log::WriteText(const std::wstring& text)
{
    WriteBytes(text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

void Log::WriteBytes(const void* data, DWORD count)
{
    if (backEnd_)
        backEnd_->Write(data, count);
}

std::wstring Log::ErrorText(DWORD code)
{
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length == 0 || !message) {
        wchar_t text[64];
        std::swprintf(text, 64, L"Unknown error code %08x (%d)", static_cast<unsigned>(code),
                      static_cast<int>(code & 0xFFFF));
        return text;
    }
    std::wstring result(message, length);
    ::LocalFree(message);
    const std::wstring::size_type lastReturn = result.rfind(L'\r');
    if (lastReturn != std::wstring::npos)
        result.erase(lastReturn);
    return result;
}
