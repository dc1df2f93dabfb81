#include "CFileTransfer.h"

#include "ServerSelection.h"
#include "core/Log.h"
#include "items/Crc32Static.h"
#include "items/DirectoryTags.h"
#include "permission/IClientFileManager.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

namespace {

using PermissionManager::IClientFileManager;

// More of the dump would bury the rest of the log; the start of a server's error page is enough.
const std::wstring::size_type kDumpLimit = 3000;
const DWORD kUnknownSize = 0xFFFFFFFFU;

bool SizeKnown(DWORD size)
{
    return size != 0 && size != kUnknownSize;
}

// The report prints sizes signed.
std::wstring SizesText(const std::wstring& remoteName, DWORD expectedSize, DWORD actualSize)
{
    return L"Filename: " + remoteName + L"\r\nExpected file size: "
        + std::to_wstring(static_cast<int32_t>(expectedSize)) + L"\r\nActual file size: "
        + std::to_wstring(static_cast<int32_t>(actualSize));
}

} // namespace

IFileDownloader* DefaultDownloaderSource()
{
    int32_t available = 0;
    return SelectServer(available);
}

CFileTransfer::CFileTransfer(HWND progressWindow, bool quiet, std::function<IFileDownloader*()> downloaderSource)
    : progressWindow_(progressWindow), quiet_(quiet), downloaderSource_(std::move(downloaderSource)), buffer_()
{
}

BOOL CFileTransfer::TransferFile(const std::wstring& localFolder, const std::wstring& remoteName,
                                 const std::wstring& localName, DWORD expectedSize, DWORD expectedCrc)
{
    const std::wstring localPath = NormalizePath(localFolder + L"\\" + localName);
    if (expectedSize == 0)
        return TRUE;

    std::unique_ptr<IClientFileManager> localFile(PermissionManager::CreateFileManager());
    if (!localFile->Open(localPath, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, 0)) {
        g_log.Item(L"Critical error; Unable to create a file", localPath);
        ShowError(L"Unable to create a file", L"File error");
        return FALSE;
    }
    // Server selection has logged why there is no server.
    IFileDownloader* downloader = downloaderSource_ ? downloaderSource_() : nullptr;
    if (!downloader)
        return FALSE;
    if (!downloader->OpenDownloadFile(remoteName)) {
        ReportOpenFailure(*downloader, remoteName);
        return FALSE;
    }
    if (!Copy(*downloader, *localFile, remoteName, expectedSize))
        return FALSE;
    localFile.reset();
    return CheckCrc(localPath, remoteName, expectedCrc);
}

BOOL CFileTransfer::Copy(IFileDownloader& downloader, IClientFileManager& localFile, const std::wstring& remoteName,
                         DWORD expectedSize)
{
    FILETIME creation = {}, lastAccess = {}, lastWrite = {};
    const BOOL timesKnown = downloader.GetFileTimes(&creation, &lastAccess, &lastWrite);
    const DWORD remoteSize = downloader.GetFileSize();
    DWORD total = 0;
    bool firstRead = true;
    for (;;) {
        const DWORD count = downloader.Read(buffer_, kBufferSize);
        // Checked only once a read has happened, so the dump shows what the server answered.
        if (firstRead && SizeKnown(remoteSize) && remoteSize != expectedSize)
            return Fail(downloader, remoteName, expectedSize, remoteSize);
        firstRead = false;
        if (count == 0)
            break;
        total += count;
        if (total > expectedSize || !localFile.Write(buffer_, count))
            return Fail(downloader, remoteName, expectedSize, total);
        PostProgress(total, expectedSize);
    }
    if (total != expectedSize)
        return Fail(downloader, remoteName, expectedSize, total);
    if (timesKnown)
        localFile.SetTimes(&creation, &lastAccess, &lastWrite);
    localFile.Close();
    downloader.CloseDownloadFile();
    return TRUE;
}

BOOL CFileTransfer::Fail(IFileDownloader& downloader, const std::wstring& remoteName, DWORD expectedSize,
                         DWORD actualSize)
{
    ReportDownloadFailure(downloader.GetErrorText(), remoteName, expectedSize, actualSize);
    return FALSE;
}

BOOL CFileTransfer::CheckCrc(const std::wstring& localPath, const std::wstring& remoteName, DWORD expectedCrc)
{
    if (expectedCrc == 0)
        return TRUE;
    DWORD crc = 0;
    if (CCrc32Static::FileCrc32(localPath, crc) != 0) {
        const std::wstring text = L"Error trying to calculate file CRC. Exiting. Filename:\r\n" + localPath;
        g_log.Heading(text);
        ShowError(text, L"File Error");
        return FALSE;
    }
    if (crc == expectedCrc) {
        g_log.ItemNumber(L"File download success", remoteName, crc);
        return TRUE;
    }
    g_log.Heading(L"File CRC error. Exiting.");
    g_log.Item(L"File", remoteName);
    g_log.Number(L"Expected CRC", expectedCrc);
    g_log.Number(L"Detected CRC", crc);
    ShowError(L"File CRC errors detected. See log file for details. Exiting.", L"File Error");
    return FALSE;
}

void CFileTransfer::ReportOpenFailure(IFileDownloader& downloader, const std::wstring& remoteName)
{
    g_log.Item(L"Critical error connecting to file server", remoteName);
    if (quiet_)
        return;
    const std::wstring url = downloader.CanonicalizeUrl(downloader.GetFilesUrl() + L"/" + remoteName);
    ShowError(L"The update file server could not be found:\r\n" + url, L"Critical error");
}

void CFileTransfer::ReportDownloadFailure(const std::wstring& errorText, const std::wstring& remoteName,
                                          DWORD expectedSize, DWORD actualSize)
{
    const std::wstring sizes = SizesText(remoteName, expectedSize, actualSize);
    g_log.Heading(L"File download errors");
    g_log.Line(sizes);
    g_log.Heading(L"\r\nDiagnosis of failure may be possible from this dump of the last buffer transfer:");
    g_log.Heading(L"Result of file download: " + errorText);
    g_log.Heading(L"-----------------------------------------------");
    DumpBuffer();
    g_log.Heading(L"\r\n-----------------------------------------------");
    g_log.Line(L"\r\n");
    ShowError(errorText + L"\r\n\r\n" + sizes, L"File download error");
}

// The last block read, as text up to its first zero byte; servers that refuse a file usually
// answer with a readable page, and that page is what explains the failure.
void CFileTransfer::DumpBuffer()
{
    const int length = static_cast<int>(std::find(buffer_, buffer_ + kBufferSize, 0) - buffer_);
    if (length == 0)
        return;
    std::wstring text(static_cast<std::wstring::size_type>(length), L'\0');
    const int converted =
        ::MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(buffer_), length, &text[0], length);
    text.resize(static_cast<std::wstring::size_type>(std::max(converted, 0)));
    if (text.size() > kDumpLimit)
        text.resize(kDumpLimit);
    g_log.WriteText(text);
}

void CFileTransfer::ShowError(const std::wstring& text, const std::wstring& caption)
{
    if (!quiet_)
        ::MessageBoxW(progressWindow_, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

// Posted, so that a busy or hung window never holds up the download.
void CFileTransfer::PostProgress(DWORD written, DWORD expectedSize)
{
    if (progressWindow_)
        ::PostMessageW(progressWindow_, WM_APP_TRANSFER_PROGRESS, written, static_cast<LPARAM>(expectedSize));
}
