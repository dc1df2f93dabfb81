#pragma once
// Registry changes applied as the last step of the installation.
#include "DownloadBase.h"
#include "ItemEntries.h"

#include <string>
#include <vector>

class DownloadRegistry : public DownloadBase {
public:
    std::wstring SectionName() const override;
    BOOL ParseSection(IXMLDOMNode* element, const std::wstring& keyPath) override;
    BOOL ProcessItems(const std::wstring& text) override;

    const std::vector<RegistryEntry>& Entries() const;

private:
    BOOL ParseLevel(IXMLDOMNode* element, const std::wstring& keyPath, int depth);

    std::vector<RegistryEntry> entries_;
};
