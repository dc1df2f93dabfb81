#pragma once
// Version numbers: read from a file's version resource, and compared as dotted texts.
#include <string>

// The file version of an executable: "a.b.c.d", or "a.b" when the low half is zero; empty when
// the file has no version resource.
std::wstring FileVersionText(const std::wstring& path);

// Results of CompareVersions besides 1, 0 and -1.
const int kFirstVersionInvalid = -21;
const int kSecondVersionInvalid = -22;

// 1 when `a` is newer than `b`, -1 when older, 0 when equal; kFirstVersionInvalid or
// kSecondVersionInvalid when a text is not up to four dot-separated decimal parts.
int CompareVersions(const std::wstring& a, const std::wstring& b);
