#pragma once
// Signing and checking update descriptions with a deployment's base security code.
//
// The code clients expect in "SecureCode" is the base code plus the CRC-32 of the root's
// serialised markup from after "<Norvane>" up to the last "<SecureCode>", whitespace left out.
#include <string>

namespace NorvaneTool {

// `baseCode` is hexadecimal text as the record's securityCode field holds it. Sets the text of
// the first "SecureCode" child of the root, adding one as the last child when there is none,
// saves the file through the DOM and returns the code written. Throws ToolError, leaving the
// file untouched, when the description cannot be signed.
std::wstring SignDescription(const std::wstring& path, const std::wstring& baseCode);

// What a client with that base code decides: returns a report when it accepts the
// description, throws ToolError saying why when it refuses it.
std::wstring VerifyDescription(const std::wstring& path, const std::wstring& baseCode);

} // namespace NorvaneTool
