#pragma once
// Whether one file of the file list has to be downloaded, decided before any transfer.
#include "ItemEntries.h"

#include <string>

// Sets the entry's download and already-downloaded flags and returns the download flag.
// `crcText` is the CRC attribute when ByCRC is "True", otherwise empty. The already-downloaded
// test looks for `temporaryName` in `downloadFolder`.
BOOL DecideFile(FileEntry& entry, const std::wstring& temporaryName, LONG size,
                const std::wstring& byVersion, const std::wstring& byDate, const std::wstring& crcText,
                const std::wstring& downloadFolder);
