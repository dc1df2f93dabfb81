#include "EnvironmentFacts.h"

#include <winsock2.h>
#include <windows.h>

namespace {

std::wstring FromAnsi(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

// Keeps the sockets library started for one lookup.
class SocketsSession {
public:
    SocketsSession() { WSADATA data; started_ = ::WSAStartup(MAKEWORD(2, 0), &data) == 0; }
    ~SocketsSession() { if (started_) ::WSACleanup(); }
    SocketsSession(const SocketsSession&) = delete;
    SocketsSession& operator=(const SocketsSession&) = delete;
    bool Started() const { return started_; }

private:
    bool started_;
};

} // namespace

uint32_t EnvironmentFacts::OsCode()
{
    if (osCode_ == 0)
        DetectSystem();
    return osCode_;
}

std::wstring EnvironmentFacts::OsName()
{
    if (osCode_ == 0)
        DetectSystem();
    return osName_;
}

bool EnvironmentFacts::Classify(unsigned long platform, unsigned long major, unsigned long minor,
                                uint32_t& code, std::wstring& name)
{
    struct Row { unsigned long platform; unsigned long major; unsigned long minor; uint32_t code; const wchar_t* name; };
    const unsigned long any = ~0ul;
    static const Row rows[] = {
        {VER_PLATFORM_WIN32_WINDOWS, any, 0, Windows95, L"Windows 95"},
        {VER_PLATFORM_WIN32_WINDOWS, any, 10, Windows98, L"Windows 98"},
        {VER_PLATFORM_WIN32_WINDOWS, any, 90, Windows98, L"Windows Me"},
        {VER_PLATFORM_WIN32_NT, 5, 0, Windows2000, L"Windows 2000"},
        {VER_PLATFORM_WIN32_NT, 5, 1, WindowsXP, L"Windows XP"},
        {VER_PLATFORM_WIN32_NT, 5, 2, Windows2003, L"Windows 2003"},
        {VER_PLATFORM_WIN32_NT, 6, 0, WindowsVista, L"Windows Vista"},
    };
    if (platform != VER_PLATFORM_WIN32_WINDOWS && platform != VER_PLATFORM_WIN32_NT) {
        code = OtherPlatform;
        name.clear();
        return true;
    }
    if (platform == VER_PLATFORM_WIN32_NT && major <= 4) {
        code = WindowsNT;
        name = L"Windows NT";
        return true;
    }
    for (const Row& row : rows) {
        if (row.platform == platform && (row.major == any || row.major == major) && row.minor == minor) {
            code = row.code;
            name = row.name;
            return true;
        }
    }
    return false;
}

void EnvironmentFacts::DetectSystem()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    if (::GetVersionExW(&info))
        Classify(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, osCode_, osName_);
}

std::wstring EnvironmentFacts::UserName()
{
    if (userName_.empty()) {
        wchar_t name[260] = {};
        DWORD size = 260;
        userName_ = ::GetUserNameW(name, &size) ? std::wstring(name) : std::wstring();
    }
    return userName_;
}

std::wstring EnvironmentFacts::IpAddress()
{
    if (ipAddress_.empty() && hostName_.empty())
        LookUpHost();
    return ipAddress_;
}

std::wstring EnvironmentFacts::HostName()
{
    if (ipAddress_.empty() && hostName_.empty())
        LookUpHost();
    return hostName_;
}

void EnvironmentFacts::LookUpHost()
{
    SocketsSession sockets;
    if (!sockets.Started())
        return;
    char name[256] = {};
    if (::gethostname(name, 255) != 0)
        return;
    const hostent* host = ::gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
        return;
    in_addr address;
    address.s_addr = *reinterpret_cast<const u_long*>(host->h_addr_list[0]);
    hostName_ = FromAnsi(name);
    ipAddress_ = FromAnsi(::inet_ntoa(address));
}
