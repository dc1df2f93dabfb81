#include "DownloadService.h"

#include "ItemPaths.h"
#include "NodeIterator.h"
#include "core/Log.h"

std::wstring DownloadService::SectionName() const
{
    return L"ServiceManager";
}

BOOL DownloadService::ParseSection(IXMLDOMNode* element, const std::wstring& phase)
{
    return ParseLevel(element, phase, 0);
}

BOOL DownloadService::ParseLevel(IXMLDOMNode* element, const std::wstring& phase, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(SectionName());
        return FALSE;
    }
    NodeIterator phases(element, L"RunAt");
    while (phases.Next()) {
        const std::wstring name = phases.Attribute(L"Name");
        if (name.empty()) {
            g_log.Line(L"Phase not found for a service execution item. Item ignored.");
            continue;
        }
        if (!ParseLevel(phases.Current(), name, depth + 1))
            return FALSE;
    }
    NodeIterator actions(element, L"Execute");
    while (actions.Next()) {
        ServiceEntry entry;
        entry.serviceName = actions.Attribute(L"Name");
        entry.action = actions.Attribute(L"Action");
        entry.phase = phase;
        entries_.push_back(std::move(entry));
    }
    return TRUE;
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
