#pragma once
// Recognition of the permission-manager command words on the client's command line.
#include <string>

struct PermissionCommand {
    enum Kind { None = 0, Install = 1, Uninstall = 2, CheckInstalled = 3, Run = 4, Activate = 5 };

    Kind kind = None;
    std::wstring trimmedCommandLine; // leading "-", "/" and "\" removed, letter case as typed
    std::wstring commandText;        // what follows the command word (install and uninstall)
    bool textTaken = false;
};

PermissionCommand ParsePermissionCommand(const std::wstring& commandLine);
