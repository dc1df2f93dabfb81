#include "FileDecision.h"

#include "AttributeValues.h"
#include "Crc32Static.h"
#include "common/UniqueHandle.h"
#include "core/FileVersion.h"
#include "core/Log.h"

#include <exception>

namespace {

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindClose(handle); }
};
using UniqueFind = Common::UniqueHandleOf<FindHandleTraits>;

// The entry of `path` in its folder's listing; false when it is not listed.
bool ListedFile(const std::wstring& path, WIN32_FIND_DATAW& data)
{
    // A wildcard would list some other file; a name from the description is never a pattern.
    if (path.find_first_of(L"*?") != std::wstring::npos)
        return false;
    UniqueFind find(::FindFirstFileW(path.c_str(), &data));
    return find.Valid();
}

bool PathExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool VersionVotes(const std::wstring& localPath, const std::wstring& byVersion)
{
    try {
        const std::wstring localVersion = FileVersionText(localPath);
        const int result = CompareVersions(byVersion, localVersion);
        const std::wstring outcome = result == 1 ? L"File added, server version newer."
                                                 : L"File not added, client version newer.";
        g_log.Line(L"Compare versions: " + byVersion + L", " + localVersion + L" - " + outcome);
        return result == 1;
    } catch (const std::exception&) {
        g_log.Line(L"File version not readable -- download new version.");
        return true;
    }
}

// The server's DOS date (high half) and time (low half) as a file time; false when the text
// is no such value. Deliberately without time-zone conversion, as the publisher's tool wrote it.
bool ServerFileTime(const std::wstring& byDate, FILETIME& time)
{
    DWORD packed = 0;
    if (!HexValue(byDate, packed))
        return false;
    return ::DosDateTimeToFileTime(HIWORD(packed), LOWORD(packed), &time) != FALSE;
}

bool DateVotes(const std::wstring& localPath, const std::wstring& byDate)
{
    WIN32_FIND_DATAW data;
    FILETIME serverTime;
    // An unusable server stamp is treated like an unreadable local one: fetching the file is
    // the safe side, since only the download can bring the machine up to date.
    if (!ListedFile(localPath, data) || !ServerFileTime(byDate, serverTime)) {
        g_log.Line(L"File time-stamp not readable -- download new version.");
        return true;
    }
    if (::CompareFileTime(&serverTime, &data.ftLastWriteTime) > 0) {
        g_log.Line(L"File added - Timestamp is more recent at the server.");
        return true;
    }
    g_log.Line(L"File not added - Timestamp is older at the server.");
    return false;
}

bool CrcVotes(const std::wstring& localPath, const std::wstring& crcText)
{
    DWORD serverCrc = 0;
    HexValue(crcText, serverCrc);
    DWORD localCrc = 0;
    if (CCrc32Static::FileCrc32(localPath, localCrc) != 0)
        return false;
    if (localCrc != serverCrc) {
        g_log.Line(L"File added");
        return true;
    }
    g_log.Line(L"Client file CRC matches server. File will not be downloaded.");
    return false;
}

bool TestsVote(const std::wstring& localPath, const std::wstring& byVersion, const std::wstring& byDate,
               const std::wstring& crcText)
{
    bool download = false;
    // Each test runs and logs whatever the others said, so the log shows every reason.
    if (!byVersion.empty() && VersionVotes(localPath, byVersion))
        download = true;
    if (!byDate.empty() && DateVotes(localPath, byDate))
        download = true;
    if (!crcText.empty() && CrcVotes(localPath, crcText))
        download = true;
    return download;
}

bool NeedsDownload(const std::wstring& localPath, const std::wstring& byVersion, const std::wstring& byDate,
                   const std::wstring& crcText)
{
    if (byVersion.empty() && byDate.empty() && crcText.empty()) {
        g_log.Line(L"File added");
        return true;
    }
    if (!PathExists(localPath)) {
        g_log.Line(L"File added - not on user system.");
        return true;
    }
    return TestsVote(localPath, byVersion, byDate, crcText);
}

// An earlier, interrupted run may have left the whole file in the download folder.
bool AlreadyDownloaded(const std::wstring& downloadFolder, const std::wstring& temporaryName, LONG size)
{
    // Without a download folder the name would point at the root of the current drive.
    if (downloadFolder.empty())
        return false;
    const std::wstring::size_type end = downloadFolder.find_last_not_of(L'\\');
    const std::wstring folder = end == std::wstring::npos ? std::wstring() : downloadFolder.substr(0, end + 1);
    WIN32_FIND_DATAW data;
    if (!ListedFile(folder + L"\\" + temporaryName, data))
        return false;
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeLow == static_cast<DWORD>(size);
}

} // namespace

BOOL DecideFile(FileEntry& entry, const std::wstring& temporaryName, LONG size,
                const std::wstring& byVersion, const std::wstring& byDate, const std::wstring& crcText,
                const std::wstring& downloadFolder)
{
    g_log.Item(L"Checking file", entry.localPath);
    entry.download = FALSE;
    entry.alreadyDownloaded = FALSE;
    if (size == 0) {
        g_log.Item(L"Zero byte file will not be retrieved", entry.localPath);
        return FALSE;
    }
    entry.download = NeedsDownload(entry.localPath, byVersion, byDate, crcText) ? TRUE : FALSE;
    if (entry.download && AlreadyDownloaded(downloadFolder, temporaryName, size)) {
        g_log.Line(L"File already downloaded");
        entry.alreadyDownloaded = TRUE;
    }
    return entry.download;
}
