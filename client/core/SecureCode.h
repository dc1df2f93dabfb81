#pragma once
// The checksum behind an update description's security code, shared by the client, which
// checks it, and the publisher's tool, which signs descriptions with it.
#include <windows.h>

#include <string>

// `rootXml` is the description's root element as the XML DOM serialises it. The covered text
// runs from after the length of "<Norvane>" up to the last "<SecureCode>"; `crc` becomes its
// whitespace-free CRC-32. False (and `crc` left alone) when there is no "<SecureCode>".
bool CoveredTextCrc(const std::wstring& rootXml, DWORD& crc);

// A code as the record and the description hold it: hexadecimal text read by the C library's
// unsigned base-16 conversion, so the tool and the client agree on any text; empty gives 0.
DWORD HexCodeValue(const std::wstring& text);
