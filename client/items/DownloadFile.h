#pragma once
// The file list: which files of the update have to be downloaded, and where they go.
#include "DownloadBase.h"
#include "ItemEntries.h"
#include "ItemPaths.h"

#include <string>
#include <vector>

class NodeIterator;

class DownloadFile : public DownloadBase {
public:
    std::wstring SectionName() const override;
    BOOL ParseSection(IXMLDOMNode* element, const std::wstring& basePath) override;
    // Installs the downloaded files; defined with the installation code.
    BOOL ProcessItems(const std::wstring& text) override;

    // Set by the session when it builds its download folder, before the description is read.
    void SetDownloadFolder(const std::wstring& folder);
    const std::wstring& DownloadFolder() const;
    // Bytes still to download: the declared sizes of the entries not already downloaded.
    DWORD TotalSize() const;
    const std::vector<FileEntry>& Entries() const;
    std::vector<FileEntry>& Entries();
    std::size_t Count() const;

    // Lets tests stand in for the directory tag table.
    void SetTagTranslator(TagTranslator translator);

private:
    void ParseFile(const NodeIterator& file, const std::wstring& basePath);
    void AddToTotal(LONG size);

    std::wstring downloadFolder_;
    DWORD totalSize_ = 0;
    std::vector<FileEntry> entries_;
    TagTranslator translateTag_ = nullptr;
};
