#pragma once
// CRC-32 (ISO-HDLC, as in zlib and ZIP) of files and of texts without their whitespace.
#include <windows.h>

#include <string>

class CCrc32Static {
public:
    virtual ~CCrc32Static() {}

    // 0 and the CRC of the whole file, read through a file manager; otherwise the open error,
    // or 23 (ERROR_CRC) when reading failed.
    static DWORD FileCrc32(const std::wstring& path, DWORD& crc);

    // 0 and the CRC of the text's UTF-16LE bytes, blanks, tabs, CR and LF left out.
    static DWORD TextCrc32(const std::wstring& text, DWORD& crc);

    // Feeds bytes into a running (not yet complemented) CRC.
    static DWORD Update(DWORD crc, const void* data, DWORD count);
};
