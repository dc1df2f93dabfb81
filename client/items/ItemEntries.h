#pragma once
// The records of the update items, one per kind, as the item sections of the update
// description fill them. Flags are 32-bit values that are 0 or 1.
#include <windows.h>

#include <string>

// One file of the file list that is to be downloaded (and later installed).
struct FileEntry {
    std::wstring localPath;      // destination on this machine
    std::wstring remotePath;     // Src followed by Name, relative to the server's update location
    std::wstring temporaryName;  // "UpdateFile%d", its name in the download folder
    LONG size = 0;               // declared size in bytes
    DWORD crc = 0;               // declared CRC-32, 0 when the description gives none
    BOOL alreadyDownloaded = FALSE;
    BOOL registerServer = FALSE; // the file is a COM server to register after installation
    BOOL download = FALSE;
    BOOL unzip = FALSE;
    BOOL hidden = FALSE;
    BOOL readOnly = FALSE;
};

// A program to start at one phase of the update.
struct ExecutionEntry {
    std::wstring command;  // program path, optionally a blank and 'parameters'
    std::wstring phase;
    BOOL wait = FALSE;     // wait up to 30 s for the program to end
};

// An action on a Windows service at one phase of the update.
struct ServiceEntry {
    std::wstring serviceName;
    std::wstring action;
    std::wstring phase;
};

// One registry change applied at the end of the installation.
struct RegistryEntry {
    std::wstring keyPath;
    std::wstring action;
    std::wstring valueName;  // "(Default)" for the key's unnamed value
};

// One shell shortcut created during the installation.
struct ShortcutEntry {
    std::wstring linkPath;
    std::wstring target;
    std::wstring iconSource;
    LONG iconIndex = 0;
    std::wstring description;
};
