#pragma once
// One update server's two locations: where the description lies and where the files lie.
#include <cstdint>
#include <string>

struct ServerEntry {
    std::wstring protocol;      // "http://", "https://", "ftp://" or "file:", as configured
    std::wstring hostPath;      // host and path of the description, without the protocol
    std::wstring port;          // decimal; empty: the protocol's default
    std::wstring userName;
    std::wstring password;
    int32_t passiveFtp = 0;
    std::wstring filesProtocol;
    std::wstring filesHostPath; // the folder of the update files
    std::wstring filesPort;
    std::wstring filesUserName;
    std::wstring filesPassword;
    int32_t filesPassiveFtp = 0;
    int32_t hasFilesLocation = 0; // zero: the files location is derived from the description's
};
