#pragma once
// Unpacking of the ZIP archives that an update delivers, through minizip and zlib.
#include <windows.h>

#include <functional>
#include <string>

namespace PermissionManager {

// Results besides the count of entries (0 also means the target folder could not be made).
const LONG kZipCannotOpen = -1;
const LONG kZipCannotExtract = -2;

// Creates a folder with every missing parent; true when it exists afterwards.
using MakeDirectoriesFunction = std::function<bool(const std::wstring&)>;

// Unpacks every file entry of the archive below the target folder and returns the number of
// entries the archive's directory lists (folder entries included), 0 when the target folder
// cannot be made, kZipCannotOpen or kZipCannotExtract. An archive with an entry name that
// would leave the target folder, or is no valid Windows name, is refused before anything of
// it is written. A file entry that fails its size or CRC check leaves what was at its output
// path before untouched; entries completed before a failure stay.
LONG ExtractZipArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                       const MakeDirectoriesFunction& makeDirectories);

// The suffix of the installation's count line: none for exactly one file, "(s)" otherwise.
const wchar_t* UnzippedFilesSuffix(LONG count);

// The entry name as a path relative to the target folder, with "\" between its parts, or
// false when the name is unsafe. A name ending in a separator is a folder entry.
bool ToRelativeEntryPath(const std::wstring& entryName, std::wstring& relativePath, bool& isFolder);

} // namespace PermissionManager
