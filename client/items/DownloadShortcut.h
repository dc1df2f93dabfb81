#pragma once
// Shell shortcuts created during the installation.
#include "DownloadBase.h"
#include "ItemEntries.h"
#include "ItemPaths.h"

#include <string>
#include <vector>

class NodeIterator;

class DownloadShortcut : public DownloadBase {
public:
    std::wstring SectionName() const override;
    BOOL ParseSection(IXMLDOMNode* element, const std::wstring& basePath) override;
    BOOL ProcessItems(const std::wstring& text) override;

    const std::vector<ShortcutEntry>& Entries() const;

    // Lets tests stand in for the directory tag table.
    void SetTagTranslator(TagTranslator translator);

private:
    void ParseFile(const NodeIterator& file, const std::wstring& basePath);

    std::vector<ShortcutEntry> entries_;
    TagTranslator translateTag_ = nullptr;
};
