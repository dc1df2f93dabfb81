#include "ZipExtraction.h"

#include "common/UniqueHandle.h"

// iowin32.h relies on what unzip.h brings in before it.
#include <minizip/unzip.h>
#include <minizip/iowin32.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

namespace PermissionManager {

namespace {

// Archive data is copied to disk in pieces of this size.
const DWORD kChunkSize = 20480;
// Longest archive path accepted, as the client has always bounded it.
const std::wstring::size_type kMaxArchivePath = 1024;
// Longest entry name in bytes; a longer one would be cut and could name another file.
const uLong kMaxEntryNameBytes = 1024;
// Longest part of a path that Windows file systems accept.
const std::wstring::size_type kMaxNamePart = 255;
// General purpose flags of an entry: encrypted, and name stored in UTF-8.
const uLong kEncryptedFlag = 1u << 0;
const uLong kUtf8NameFlag = 1u << 11;
// Names without the UTF-8 flag are in the archive format's original code page.
const UINT kZipNameCodePage = 437;

struct ZipArchiveTraits {
    using Handle = unzFile;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::unzClose(handle); }
};
using UniqueZipArchive = Common::UniqueHandleOf<ZipArchiveTraits>;

// What the archive's directory says of one entry, read before anything is written.
struct EntryInfo {
    std::wstring relativePath;
    bool isFolder = false;
    uLong flag = 0;
    uLong dosDate = 0;
    ZPOS64_T uncompressedSize = 0;
};

// The entry opened for reading; closed again on every path out.
class OpenEntry {
public:
    explicit OpenEntry(unzFile archive) : archive_(archive), open_(::unzOpenCurrentFile(archive) == UNZ_OK) {}
    ~OpenEntry()
    {
        if (open_)
            ::unzCloseCurrentFile(archive_);
    }
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;

    bool IsOpen() const { return open_; }
    // minizip checks the CRC here once the whole entry was read.
    bool Close()
    {
        open_ = false;
        return ::unzCloseCurrentFile(archive_) == UNZ_OK;
    }

private:
    unzFile archive_;
    bool open_;
};

// A scratch file that receives an entry's data and takes the entry's place only when complete,
// so that a damaged entry never replaces a good file of an earlier version.
class PartFile {
public:
    explicit PartFile(const std::wstring& folder)
    {
        wchar_t name[MAX_PATH] = {};
        if (folder.size() + 14 >= MAX_PATH || !::GetTempFileNameW(folder.c_str(), L"nvz", 0, name))
            return;
        path_ = name;
        file_.Reset(::CreateFileW(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    ~PartFile()
    {
        file_.Reset();
        if (!path_.empty())
            ::DeleteFileW(path_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    HANDLE Handle() const { return file_.Get(); }
    bool IsOpen() const { return file_.Valid(); }

    bool CommitAs(const std::wstring& outputPath)
    {
        file_.Reset();
        if (!::MoveFileExW(path_.c_str(), outputPath.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        path_.clear();
        return true;
    }

private:
    std::wstring path_;
    Common::UniqueFile file_;
};

std::wstring WithTrailingBackslash(const std::wstring& folder)
{
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        return folder;
    return folder + L'\\';
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::wstring::size_type lastBackslash = path.rfind(L'\\');
    return lastBackslash == std::wstring::npos ? std::wstring() : path.substr(0, lastBackslash + 1);
}

// A zero inside the path would make the system open a shorter one.
bool IsUsableArchivePath(const std::wstring& archivePath)
{
    return !archivePath.empty() && archivePath.size() < kMaxArchivePath && archivePath.find(L'\0') == std::wstring::npos;
}

UniqueZipArchive OpenArchive(const std::wstring& archivePath)
{
    // Opened by its UTF-16 path: a conversion to the ANSI code page could name another file.
    zlib_filefunc64_def io = {};
    ::fill_win32_filefunc64W(&io);
    return UniqueZipArchive(::unzOpen2_64(archivePath.c_str(), &io));
}

// An archive of nothing but its 22-byte end record (and comment): minizip cannot open it, as it
// never looks for that record at the very start of a file, yet it is a valid archive without
// entries and counts as one.
bool IsArchiveWithoutEntries(const std::wstring& archivePath)
{
    const Common::UniqueFile file(::CreateFileW(archivePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    unsigned char record[22] = {};
    DWORD got = 0;
    const DWORD size = ::GetFileSize(file.Get(), nullptr);
    if (size < sizeof record || size > sizeof record + 0xFFFF ||
        !::ReadFile(file.Get(), record, sizeof record, &got, nullptr) || got != sizeof record)
        return false;
    static const unsigned char signature[4] = {'P', 'K', 5, 6};
    const unsigned commentLength = record[20] | (record[21] << 8);
    const bool noEntries = std::all_of(record + 4, record + 20, [](unsigned char byte) { return byte == 0; });
    return std::equal(signature, signature + 4, record) && noEntries && commentLength == size - sizeof record;
}

bool Decode(const std::string& bytes, UINT codePage, std::wstring& text)
{
    const int length = static_cast<int>(bytes.size());
    const int units = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (units <= 0)
        return false;
    text.assign(static_cast<std::wstring::size_type>(units), L'\0');
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, &text[0], units) == units;
}

bool DecodeEntryName(const std::string& bytes, uLong flag, std::wstring& name)
{
    if ((flag & kUtf8NameFlag) != 0)
        return Decode(bytes, CP_UTF8, name);
    return Decode(bytes, kZipNameCodePage, name) || Decode(bytes, CP_OEMCP, name);
}

bool IsForbiddenCharacter(wchar_t c)
{
    // Control characters, the characters Windows reserves in names, and ":" that would also
    // reach a file's alternate data streams or another drive.
    return c < 0x20 || c == 0x7F || std::wcschr(L"<>:\"|?*", c) != nullptr;
}

bool EqualsIgnoringCase(const std::wstring& text, const wchar_t* word)
{
    return ::CompareStringOrdinal(text.c_str(), static_cast<int>(text.size()), word, -1, TRUE) == CSTR_EQUAL;
}

// Device names that Windows opens instead of a file in any folder, with or without extension.
bool IsDeviceName(const std::wstring& part)
{
    std::wstring base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : devices) {
        if (EqualsIgnoringCase(base, device))
            return true;
    }
    const bool numbered = base.size() == 4 && base[3] >= L'0' && base[3] <= L'9';
    return numbered && (EqualsIgnoringCase(base.substr(0, 3), L"COM") || EqualsIgnoringCase(base.substr(0, 3), L"LPT"));
}

// One folder or file name of an entry path. Empty parts (absolute or network names), "." and
// "..", and names ending in a dot or a space (which Windows trims, so "..." or ".. " would climb
// out too) are refused.
bool IsSafeNamePart(const std::wstring& part)
{
    if (part.empty() || part.size() > kMaxNamePart || part.back() == L'.' || part.back() == L' ')
        return false;
    for (const wchar_t c : part) {
        if (IsForbiddenCharacter(c))
            return false;
    }
    return !IsDeviceName(part);
}

// Whether the path, made absolute, still lies below the target folder: a last check that no
// spelling of a name escaped the rules above.
bool LiesBelow(const std::wstring& fullFolder, const std::wstring& path)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH || length <= fullFolder.size())
        return false;
    return ::CompareStringOrdinal(full, static_cast<int>(fullFolder.size()), fullFolder.c_str(),
                                  static_cast<int>(fullFolder.size()), TRUE) == CSTR_EQUAL;
}

bool FullFolderPath(const std::wstring& folder, std::wstring& fullFolder)
{
    wchar_t full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    fullFolder = WithTrailingBackslash(full);
    return true;
}

bool ReadCurrentEntry(unzFile archive, EntryInfo& entry)
{
    unz_file_info64 info = {};
    char name[kMaxEntryNameBytes + 1] = {};
    if (::unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (info.size_filename == 0 || info.size_filename > kMaxEntryNameBytes)
        return false;
    const std::string bytes(name, info.size_filename);
    std::wstring decoded;
    if (bytes.find('\0') != std::string::npos || !DecodeEntryName(bytes, info.flag, decoded))
        return false;
    if (!ToRelativeEntryPath(decoded, entry.relativePath, entry.isFolder))
        return false;
    entry.flag = info.flag;
    entry.dosDate = info.dosDate;
    entry.uncompressedSize = info.uncompressed_size;
    return true;
}

// Reads the whole directory and checks every name before the first byte is written, so that
// a hostile archive leaves nothing behind. Bounded by the count the archive announces.
bool ReadDirectory(unzFile archive, ZPOS64_T count, const std::wstring& fullFolder, std::vector<EntryInfo>& entries)
{
    if (::unzGoToFirstFile(archive) != UNZ_OK)
        return false;
    for (ZPOS64_T index = 0; index < count; ++index) {
        if (index > 0 && ::unzGoToNextFile(archive) != UNZ_OK)
            return false;
        EntryInfo entry;
        if (!ReadCurrentEntry(archive, entry) || !LiesBelow(fullFolder, fullFolder + entry.relativePath))
            return false;
        entries.push_back(entry);
    }
    return true;
}

bool WriteAll(HANDLE file, const char* data, DWORD count)
{
    DWORD written = 0;
    return ::WriteFile(file, data, count, &written, nullptr) && written == count;
}

// Copies the open entry into the file, checking its length against the directory. minizip
// never delivers more than the announced length, and checks the CRC when the entry is closed,
// but only when the data reached that length: data that ends early must be caught here.
bool CopyEntryData(unzFile archive, const EntryInfo& entry, HANDLE file, std::vector<char>& buffer)
{
    ZPOS64_T total = 0;
    for (;;) {
        const int got = ::unzReadCurrentFile(archive, buffer.data(), kChunkSize);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        total += static_cast<ZPOS64_T>(got);
        if (total > entry.uncompressedSize)
            return false;
        if (!WriteAll(file, buffer.data(), static_cast<DWORD>(got)))
            return false;
    }
    return total == entry.uncompressedSize;
}

// The entry's DOS time is local time; files keep UTC. The access time is left as it is.
void SetEntryTimes(HANDLE file, uLong dosDate)
{
    FILETIME local = {};
    FILETIME utc = {};
    if (::DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &local) && ::LocalFileTimeToFileTime(&local, &utc))
        ::SetFileTime(file, &utc, nullptr, &utc);
}

bool ExtractEntry(unzFile archive, const EntryInfo& entry, const std::wstring& outputPath,
                  const MakeDirectoriesFunction& makeDirectories, std::vector<char>& buffer)
{
    if ((entry.flag & kEncryptedFlag) != 0)
        return false;
    OpenEntry data(archive);
    if (!data.IsOpen())
        return false;
    const std::wstring folder = FolderOf(outputPath);
    if (!makeDirectories(folder))
        return false;
    PartFile part(folder);
    if (!part.IsOpen() || !CopyEntryData(archive, entry, part.Handle(), buffer) || !data.Close())
        return false;
    SetEntryTimes(part.Handle(), entry.dosDate);
    return part.CommitAs(outputPath);
}

LONG ExtractEntries(unzFile archive, const std::vector<EntryInfo>& entries, const std::wstring& folder,
                    const MakeDirectoriesFunction& makeDirectories)
{
    std::vector<char> buffer(kChunkSize);
    if (::unzGoToFirstFile(archive) != UNZ_OK)
        return kZipCannotExtract;
    for (std::vector<EntryInfo>::size_type index = 0; index < entries.size(); ++index) {
        if (index > 0 && ::unzGoToNextFile(archive) != UNZ_OK)
            return kZipCannotExtract;
        const EntryInfo& entry = entries[index];
        if (entry.isFolder)
            continue;
        if (!ExtractEntry(archive, entry, folder + entry.relativePath, makeDirectories, buffer))
            return kZipCannotExtract;
    }
    return static_cast<LONG>(entries.size());
}

} // namespace

bool ToRelativeEntryPath(const std::wstring& entryName, std::wstring& relativePath, bool& isFolder)
{
    std::wstring path = entryName;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    isFolder = !path.empty() && path.back() == L'\\';
    if (isFolder)
        path.pop_back();
    std::wstring::size_type start = 0;
    for (;;) {
        const std::wstring::size_type end = path.find(L'\\', start);
        if (!IsSafeNamePart(path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start)))
            return false;
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    relativePath = path;
    return true;
}

LONG ExtractZipArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                       const MakeDirectoriesFunction& makeDirectories)
{
    if (!IsUsableArchivePath(archivePath))
        return kZipCannotOpen;
    const UniqueZipArchive archive = OpenArchive(archivePath);
    if (!archive) {
        if (!IsArchiveWithoutEntries(archivePath))
            return kZipCannotOpen;
        return makeDirectories(targetFolder) ? kZipCannotExtract : 0;
    }
    if (!makeDirectories(targetFolder))
        return 0;
    unz_global_info64 global = {};
    if (::unzGetGlobalInfo64(archive.Get(), &global) != UNZ_OK || global.number_entry == 0 ||
        global.number_entry > static_cast<ZPOS64_T>(LONG_MAX))
        return kZipCannotExtract;
    // An empty target would mean the root of the current drive.
    const std::wstring folder = WithTrailingBackslash(targetFolder);
    std::wstring fullFolder;
    if (targetFolder.empty() || !FullFolderPath(folder, fullFolder))
        return kZipCannotExtract;
    std::vector<EntryInfo> entries;
    if (!ReadDirectory(archive.Get(), global.number_entry, fullFolder, entries))
        return kZipCannotExtract;
    return ExtractEntries(archive.Get(), entries, fullFolder, makeDirectories);
}

const wchar_t* UnzippedFilesSuffix(LONG count)
{
    return count == 1 ? L"" : L"(s)";
}

} // namespace PermissionManager
