#pragma once
// Copies one update file from the selected server into a local folder, checking size and CRC.
#include "IFileDownloader.h"
#include "TransferMessages.h"
#include "common/Object.h"

#include <windows.h>

#include <functional>
#include <string>

namespace PermissionManager { class IClientFileManager; }

// The connected downloader of server selection, or null.
IFileDownloader* DefaultDownloaderSource();

class CFileTransfer : public Object {
public:
    static constexpr DWORD kBufferSize = 8192;

    // `progressWindow` receives the progress messages and owns the message boxes (may be null);
    // `quiet` suppresses every message box. The source hands out the downloader to use, which
    // stays owned by whoever made it.
    CFileTransfer(HWND progressWindow, bool quiet,
                  std::function<IFileDownloader*()> downloaderSource = DefaultDownloaderSource);
    CFileTransfer(const CFileTransfer&) = delete;
    CFileTransfer& operator=(const CFileTransfer&) = delete;

    // 1 when `remoteName` now lies in `localFolder` as `localName` with the expected size and,
    // unless `expectedCrc` is 0, CRC; 0 otherwise, with the reasons in the log.
    BOOL TransferFile(const std::wstring& localFolder, const std::wstring& remoteName,
                      const std::wstring& localName, DWORD expectedSize, DWORD expectedCrc);

    // Logs the failure with a dump of the last block read and, unless quiet, tells the user.
    void ReportDownloadFailure(const std::wstring& errorText, const std::wstring& remoteName,
                               DWORD expectedSize, DWORD actualSize);

private:
    BOOL Copy(IFileDownloader& downloader, PermissionManager::IClientFileManager& localFile,
              const std::wstring& remoteName, DWORD expectedSize);
    BOOL Fail(IFileDownloader& downloader, const std::wstring& remoteName, DWORD expectedSize,
              DWORD actualSize);
    BOOL CheckCrc(const std::wstring& localPath, const std::wstring& remoteName, DWORD expectedCrc);
    void ReportOpenFailure(IFileDownloader& downloader, const std::wstring& remoteName);
    void DumpBuffer();
    void ShowError(const std::wstring& text, const std::wstring& caption);
    void PostProgress(DWORD written, DWORD expectedSize);

    HWND progressWindow_;
    bool quiet_;
    std::function<IFileDownloader*()> downloaderSource_;
    // Kept after a transfer ends: the failure report dumps the last block read.
    unsigned char buffer_[kBufferSize];
};
