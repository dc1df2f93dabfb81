#include "ServerSelection.h"

#include "common/FixedText.h"
#include "core/ConfigRecord.h"
#include "core/Log.h"
#include "items/Variables.h"

#include <memory>

namespace {

struct SelectionState {
    std::unique_ptr<IFileDownloader> primary;
    std::unique_ptr<IFileDownloader> backup;
    IFileDownloader* selected = nullptr;
    bool started = false; // the primary has been made the selected downloader
    bool selectionDone = false;
};

SelectionState g_selection;

// A port written into the address itself wins over the separate port field.
void ClearPortWrittenInAddress(const std::wstring& hostPath, std::wstring& port)
{
    const std::wstring::size_type colon = hostPath.find(L':');
    if (colon != std::wstring::npos && colon > 0)
        port.clear();
}

ServerEntry BuildEntry(const ServerBlock& block)
{
    ServerEntry entry;
    entry.protocol = Common::FieldText(block.protocol);
    entry.hostPath = ExpandVariables(Common::FieldText(block.hostPath));
    entry.port = Common::FieldText(block.port);
    entry.userName = Common::FieldText(block.userName);
    entry.password = Common::FieldText(block.password);
    entry.passiveFtp = block.passiveFtp;
    if (block.hasFilesLocation != 0) {
        entry.filesProtocol = Common::FieldText(block.filesProtocol);
        entry.filesHostPath = ExpandVariables(Common::FieldText(block.filesHostPath));
        entry.filesPort = Common::FieldText(block.filesPort);
        entry.filesUserName = Common::FieldText(block.filesUserName);
        entry.filesPassword = Common::FieldText(block.filesPassword);
        entry.filesPassiveFtp = block.filesPassiveFtp;
        entry.hasFilesLocation = block.hasFilesLocation;
    }
    ClearPortWrittenInAddress(entry.hostPath, entry.port);
    ClearPortWrittenInAddress(entry.filesHostPath, entry.filesPort);
    return entry;
}

IFileDownloader* BuildFrom(const ServerBlock& block)
{
    const ServerEntry entry = BuildEntry(block);
    return CreateDownloader(entry.protocol, entry);
}

void LogServerFailure(const wchar_t* label, IFileDownloader& downloader, int32_t available,
                      const wchar_t* connectionFailed)
{
    g_log.Item(label, downloader.GetDescriptionUrl());
    g_log.Line(available ? connectionFailed : L"An internet connection is unavailable.");
}

IFileDownloader* SwitchToBackup(int32_t& available)
{
    g_selection.selected = BuildServerDownloader(0);
    IFileDownloader* backup = g_selection.selected;
    if (backup == nullptr) {
        g_log.Line(L"No backup server listed.");
        g_log.Heading(L"Verify internet/network connection and try again.");
        return nullptr;
    }
    available = backup->IsInternetAvailable();
    if (backup->Connect()) {
        g_log.Line(L"Using backup server connections.");
        return backup;
    }
    LogServerFailure(L"Backup server error", *backup, available,
                     L"The connection to the backup file server has failed.\r\n");
    return nullptr;
}

} // namespace

IFileDownloader* BuildServerDownloader(int primary)
{
    if (primary) {
        if (!g_selection.primary)
            g_selection.primary.reset(BuildFrom(g_configRecord.primary));
        return g_selection.primary.get();
    }
    if (g_configRecord.backupListed == 0)
        return nullptr;
    if (!g_selection.backup) {
        if (g_selection.selected == g_selection.primary.get())
            g_selection.selected = nullptr;
        g_selection.primary.reset();
        g_selection.backup.reset(BuildFrom(g_configRecord.backup));
    }
    return g_selection.backup.get();
}

IFileDownloader* SelectServer(int32_t& available)
{
    if (!g_selection.started) {
        g_selection.started = true;
        g_selection.selected = BuildServerDownloader(1);
    }
    available = 0;
    if (g_selection.selectionDone) {
        available = g_selection.selected != nullptr ? 1 : 0;
        return g_selection.selected;
    }
    g_selection.selectionDone = true;
    IFileDownloader* primary = g_selection.selected;
    if (primary == nullptr) // a protocol this client cannot serve
        return SwitchToBackup(available);
    if (primary->Connect()) {
        available = 1;
        return primary;
    }
    available = primary->IsInternetAvailable();
    LogServerFailure(L"Primary server error", *primary, available,
                     L"The connection to the primary file server has failed.\r\n");
    return SwitchToBackup(available);
}

void ResetServerSelection()
{
    g_selection.selected = nullptr;
    g_selection.primary.reset();
    g_selection.backup.reset();
    g_selection.started = false;
    g_selection.selectionDone = false;
}
