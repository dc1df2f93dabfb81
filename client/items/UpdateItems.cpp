#include "UpdateItems.h"

#include "common/Xml.h"
#include "core/Log.h"

#include <exception>

BOOL UpdateItems::ParseAllSections(IXMLDOMDocument* document)
{
    DownloadBase* const sections[] = {&fileList_, &executions_, &services_, &registry_, &shortcuts_};
    for (DownloadBase* section : sections) {
        const Common::ComPtr<IXMLDOMNode> element = Common::SelectNode(document, L"Norvane/" + section->SectionName());
        if (!element)
            continue;
        // A section that cannot be read (even for want of memory) must not keep the others
        // from being read.
        try {
            section->ParseSection(element.Get(), std::wstring());
        } catch (const std::exception&) {
            g_log.Item(L"Update item section not read", section->SectionName());
        }
    }
    return TRUE;
}

BOOL UpdateItems::RunPhase(const std::wstring& phase)
{
    // Both run whatever the first one reports.
    const BOOL executed = executions_.ProcessItems(phase);
    const BOOL serviced = services_.ProcessItems(phase);
    return executed || serviced ? TRUE : FALSE;
}

BOOL UpdateItems::InstallUpdate()
{
    // The permission-manager service is made sure of here once that work exists.
    const BOOL filesInstalled = fileList_.ProcessItems(std::wstring());
    const BOOL shortcutsCreated = shortcuts_.ProcessItems(std::wstring());
    if (filesInstalled && shortcutsCreated) {
        registry_.ProcessItems(std::wstring());
        g_log.Heading(L"Update was successful!");
    }
    // The permission-manager connection is released here once that work exists.
    return filesInstalled;
}

DownloadFile& UpdateItems::FileList()
{
    return fileList_;
}

DownloadExecute& UpdateItems::Executions()
{
    return executions_;
}

DownloadService& UpdateItems::Services()
{
    return services_;
}

DownloadRegistry& UpdateItems::Registry()
{
    return registry_;
}

DownloadShortcut& UpdateItems::Shortcuts()
{
    return shortcuts_;
}
