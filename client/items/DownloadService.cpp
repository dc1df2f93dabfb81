#include "DownloadService.h"

#include "ItemTrees.h"

std::wstring DownloadService::SectionName() const
{
    return L"ServiceManager";
}

BOOL DownloadService::ParseSection(IXMLDOMNode* element, const std::wstring& phase)
{
    return ReadPhaseTree(element, phase, L"Phase not found for a service execution item. Item ignored.",
                         SectionName(), [this](const NodeIterator& action, const std::wstring& itemPhase) {
                             ServiceEntry entry;
                             entry.serviceName = action.Attribute(L"Name");
                             entry.action = action.Attribute(L"Action");
                             entry.phase = itemPhase;
                             entries_.push_back(std::move(entry));
                         });
}

BOOL DownloadService::ProcessItems(const std::wstring&)
{
    // Service control is not carried out yet: only an empty list counts as done.
    return entries_.empty() ? TRUE : FALSE;
}

const std::vector<ServiceEntry>& DownloadService::Entries() const
{
    return entries_;
}
