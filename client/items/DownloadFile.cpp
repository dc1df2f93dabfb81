#include "DownloadFile.h"

#include "AttributeValues.h"
#include "FileDecision.h"
#include "ItemTrees.h"
#include "NodeIterator.h"

#include <string>

namespace {

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

std::wstring DownloadFile::SectionName() const
{
    return L"FileList";
}

BOOL DownloadFile::ParseSection(IXMLDOMNode* element, const std::wstring& basePath)
{
    return ReadDirectoryTree(element, basePath, translateTag_, SectionName(),
                             [this](const NodeIterator& file, const std::wstring& path) { ParseFile(file, path); });
}

void DownloadFile::ParseFile(const NodeIterator& file, const std::wstring& basePath)
{
    const std::wstring name = file.Attribute(L"Name");
    FileEntry entry;
    entry.localPath = ItemLocalPath(basePath, name);
    if (IsTrueText(file.Attribute(L"IgnoreIfMissing")) && !FileExists(entry.localPath))
        return;

    entry.remotePath = file.Attribute(L"Src") + name;
    entry.temporaryName = L"UpdateFile" + std::to_wstring(entries_.size() + 1);
    entry.size = DecimalValue(file.Attribute(L"Size"));
    HexValue(file.Attribute(L"CRC"), entry.crc);
    entry.registerServer = IsTrueText(file.Attribute(L"Register")) ? TRUE : FALSE;
    entry.unzip = IsTrueText(file.Attribute(L"Unzip")) ? TRUE : FALSE;
    entry.hidden = IsTrueText(file.Attribute(L"Hidden")) ? TRUE : FALSE;
    entry.readOnly = IsTrueText(file.Attribute(L"ReadOnly")) ? TRUE : FALSE;

    const std::wstring crcText = IsTrueText(file.Attribute(L"ByCRC")) ? file.Attribute(L"CRC") : std::wstring();
    if (!DecideFile(entry, entry.temporaryName, entry.size, file.Attribute(L"ByVersion"),
                    file.Attribute(L"ByDate"), crcText, downloadFolder_))
        return;
    if (!entry.alreadyDownloaded)
        AddToTotal(entry.size);
    entries_.push_back(std::move(entry));
}

void DownloadFile::AddToTotal(LONG size)
{
    // A negative size is a broken description, not bytes to fetch; and the sum stops at the
    // 32-bit limit rather than wrapping round to a small number.
    if (size <= 0)
        return;
    const DWORD bytes = static_cast<DWORD>(size);
    totalSize_ = bytes > MAXDWORD - totalSize_ ? MAXDWORD : totalSize_ + bytes;
}

void DownloadFile::SetDownloadFolder(const std::wstring& folder)
{
    downloadFolder_ = folder;
}

const std::wstring& DownloadFile::DownloadFolder() const
{
    return downloadFolder_;
}

DWORD DownloadFile::TotalSize() const
{
    return totalSize_;
}

const std::vector<FileEntry>& DownloadFile::Entries() const
{
    return entries_;
}

std::vector<FileEntry>& DownloadFile::Entries()
{
    return entries_;
}

std::size_t DownloadFile::Count() const
{
    return entries_.size();
}

void DownloadFile::SetTagTranslator(TagTranslator translator)
{
    translateTag_ = translator;
}
