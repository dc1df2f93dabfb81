#pragma once
// Programs started at the named phases of an update.
#include "DownloadBase.h"
#include "ItemEntries.h"

#include <string>
#include <vector>

class DownloadExecute : public DownloadBase {
public:
    std::wstring SectionName() const override;
    BOOL ParseSection(IXMLDOMNode* element, const std::wstring& phase) override;
    // Starts the programs of `phase` in list order; always succeeds.
    BOOL ProcessItems(const std::wstring& phase) override;

    const std::vector<ExecutionEntry>& Entries() const;

    // The program path and the parameters of a command text.
    static void SplitCommand(const std::wstring& command, std::wstring& program, std::wstring& parameters);

private:
    void Run(const ExecutionEntry& entry, const std::wstring& phase);

    std::vector<ExecutionEntry> entries_;
};
