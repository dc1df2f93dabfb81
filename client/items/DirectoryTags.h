#pragma once
// Directory tags: "<WinDir>" and its kind name well-known folders at the start of paths in the
// update description, so that one description serves machines with different folder layouts.
#include <cstddef>
#include <string>

struct DirectoryTag {
    const wchar_t* tag;          // brackets included
    int folderCode;              // shell folder identifier (CSIDL); 0 is the desktop
    const wchar_t* description;  // documentation for publishers; nothing at run time reads it
};

constexpr std::size_t kDirectoryTagCount = 10;

// Looked up in this order, ignoring case.
extern const DirectoryTag kDirectoryTags[kDirectoryTagCount];

// The folder one whole tag stands for. Tags that are not in the table, and folders the shell
// cannot name, fall back to the client's own folder (with its trailing backslash).
std::wstring TranslateDirectoryTag(const std::wstring& tag);

// A path with one tag in it: the tag's folder, then what follows the tag, normalised.
// Whatever stands in front of the tag is dropped; a path without a complete tag is returned
// unchanged.
std::wstring TranslateTaggedPath(const std::wstring& path);

// Backslashes only, doubled backslashes collapsed (keeping a network path's leading pair), and
// a path starting with "." made absolute against the current directory.
std::wstring NormalizePath(const std::wstring& path);
