#pragma once
// Facts about the machine: which Windows, who is logged on, the host's name and address.
#include <cstdint>
#include <string>

class EnvironmentFacts {
public:
    // Single bits, so that a set of systems can be written as their sum.
    enum OsCodes : uint32_t {
        Windows95 = 1, Windows98 = 2, WindowsNT = 4, Windows2000 = 8, WindowsXP = 16,
        Windows2003 = 32, WindowsVista = 64, OtherPlatform = 127,
    };

    // The code and name of a system from its version numbers; false for one not recognised.
    static bool Classify(unsigned long platform, unsigned long major, unsigned long minor,
                         uint32_t& code, std::wstring& name);

    uint32_t OsCode();
    std::wstring OsName();
    std::wstring UserName();
    std::wstring IpAddress();
    std::wstring HostName();

private:
    void DetectSystem();
    void LookUpHost();

    uint32_t osCode_ = 0;
    std::wstring osName_ = L"unknown";
    std::wstring userName_;
    std::wstring ipAddress_;
    std::wstring hostName_;
};

extern EnvironmentFacts g_environmentFacts;
