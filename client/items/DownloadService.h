#pragma once
// Windows services started, stopped or restarted at the named phases of an update.
#include "DownloadBase.h"
#include "ItemEntries.h"
#include "common/UniqueHandle.h"

#include <winsvc.h>

#include <string>
#include <vector>

struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::CloseServiceHandle(handle); }
};
using UniqueServiceHandle = Common::UniqueHandleOf<ServiceHandleTraits>;

class DownloadService : public DownloadBase {
public:
    std::wstring SectionName() const override;
    BOOL ParseSection(IXMLDOMNode* element, const std::wstring& phase) override;
    BOOL ProcessItems(const std::wstring& phase) override;

    const std::vector<ServiceEntry>& Entries() const;

private:

    std::vector<ServiceEntry> entries_;
    UniqueServiceHandle serviceManager_;  // opened on first use, kept to the end of the process
};
