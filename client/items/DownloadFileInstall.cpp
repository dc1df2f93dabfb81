#include "DownloadFile.h"

#include "core/Log.h"
#include "permission/IClientFileManager.h"

#include <memory>
#include <string>

namespace {

// Installs the entries of one run with one file manager, which it releases on every exit.
class FileInstaller {
public:
    explicit FileInstaller(const std::wstring& downloadFolder)
        : files_(PermissionManager::CreateFileManager()), downloadFolder_(downloadFolder)
    {
    }

    bool Install(const FileEntry& entry)
    {
        const std::wstring temporaryPath = downloadFolder_ + L"\\" + entry.temporaryName;
        // Without its new file the destination must keep the old one: so the download is
        // looked for before anything at the destination is moved away.
        if (files_->GetAttributes(temporaryPath) == INVALID_FILE_ATTRIBUTES)
            return ReportPlacementFailure(temporaryPath, entry.localPath);
        if (!SaveBackup(entry.localPath, temporaryPath + L".bak"))
            return false;
        if (entry.unzip)
            return UnpackArchive(temporaryPath, entry.localPath) && ApplyAttributes(entry);
        if (!PlaceFile(temporaryPath, entry.localPath))
            return false;
        if (entry.registerServer && !RegisterFile(entry.localPath))
            return false;
        return ApplyAttributes(entry);
    }

    void RemoveDownloadFolder()
    {
        files_->RemoveTree(downloadFolder_);
    }

private:
    bool SaveBackup(const std::wstring& destination, const std::wstring& backupPath)
    {
        const DWORD attributes = files_->GetAttributes(destination);
        files_->RemoveFile(backupPath);
        if (attributes == INVALID_FILE_ATTRIBUTES || files_->MoveTo(destination, backupPath))
            return true;
        g_log.Line(L"Copy to backup");
        if (files_->CopyTo(destination, backupPath))
            return true;
        g_log.ItemNumber(L"Error moving file", destination, files_->GetAttributes(destination));
        g_log.Item(L"Backup location", backupPath);
        return false;
    }

    bool PlaceFile(const std::wstring& temporaryPath, const std::wstring& destination)
    {
        if (files_->MoveTo(temporaryPath, destination))
            return true;
        g_log.Line(L"Copy to destination");
        if (files_->CopyTo(temporaryPath, destination))
            return true;
        return ReportPlacementFailure(temporaryPath, destination);
    }

    static bool ReportPlacementFailure(const std::wstring& temporaryPath, const std::wstring& destination)
    {
        // The log writes straight through to the file, so these lines are on disk when the
        // step ends.
        g_log.Item(L"Error moving file", temporaryPath);
        g_log.Item(L"File destination", destination);
        return false;
    }

    bool UnpackArchive(const std::wstring& temporaryPath, const std::wstring& destination)
    {
        const LONG count = files_->ExtractZip(temporaryPath, FolderOf(destination));
        if (count == -1) {
            g_log.Item(L"Unable to open zip file", temporaryPath);
            return false;
        }
        if (count < 0) {
            g_log.Item(L"Unable to extract zip files", temporaryPath);
            return false;
        }
        g_log.Line(L"Unzipped " + std::to_wstring(count) + L" file" + (count == 1 ? L"" : L"(s)"));
        // A file bearing the archive's own name is not part of what the archive installs.
        files_->RemoveFile(destination);
        return true;
    }

    bool RegisterFile(const std::wstring& destination)
    {
        if (files_->RegisterComServer(destination)) {
            g_log.Item(L"A file was successfully registered", destination);
            return true;
        }
        g_log.Item(L"Unable to register", destination);
        return false;
    }

    bool ApplyAttributes(const FileEntry& entry)
    {
        if (!entry.hidden && !entry.readOnly)
            return true;
        const DWORD attributes = (entry.hidden ? FILE_ATTRIBUTE_HIDDEN : 0) |
                                 (entry.readOnly ? FILE_ATTRIBUTE_READONLY : 0);
        files_->SetAttributes(entry.localPath, attributes);
        return true;
    }

    static std::wstring FolderOf(const std::wstring& path)
    {
        const std::wstring::size_type lastSeparator = path.find_last_of(L"\\/");
        return lastSeparator == std::wstring::npos ? std::wstring() : path.substr(0, lastSeparator + 1);
    }

    std::unique_ptr<PermissionManager::IClientFileManager> files_;
    std::wstring downloadFolder_;
};

} // namespace

BOOL DownloadFile::ProcessItems(const std::wstring&)
{
    g_log.Line(L"Moving files to directories");
    FileInstaller installer(downloadFolder_);
    for (const FileEntry& entry : entries_) {
        if (entry.download && !installer.Install(entry))
            return FALSE;
    }
    installer.RemoveDownloadFolder();
    return TRUE;
}
