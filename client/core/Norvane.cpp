#include "Norvane.h"

#include "ConfigRecord.h"
#include "Log.h"
#include "ProcessCloser.h"
#include "RunSettings.h"
#include "ScreenTexts.h"
#include "SessionMessages.h"
#include "UpdateDescription.h"
#include "StatusFile.h"
#include "common/FixedText.h"
#include "common/UniqueHandle.h"
#include "items/UpdateItems.h"
#include "items/Variables.h"
#include "permission/IClientFileManager.h"
#include "transfer/CFileTransfer.h"
#include "transfer/ServerSelection.h"
#include "ui/MessageOnly.h"

#include <memory>

HWND g_progressWindow = nullptr;

namespace {

const wchar_t kFolderName[] = L"NorvaneFiles";
const DWORD kPauseBeforeFile = 500;
const DWORD kPauseAfterCompletion = 750;
const DWORD kCloseTimeout = 5000;
const int kMoreInstancesToClose = 10;

std::wstring TemporaryFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring WithoutTrailingBackslashes(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool SilentRun()
{
    return g_runSettings.uiMode == 0;
}

} // namespace

Norvane& Norvane::Instance()
{
    static Norvane session;
    return session;
}

Norvane::Norvane() : downloadFolder_(TemporaryFolder() + kFolderName)
{
    g_log.Item(L"Downloading files to", downloadFolder_);
    downloadFolder_ = WithoutTrailingBackslashes(downloadFolder_);
    g_updateItems.FileList().SetDownloadFolder(downloadFolder_);
}

void Norvane::SetLocalDescription(const std::wstring& path)
{
    localDescriptionPath_ = path;
    localDescription_ = 1;
}

BOOL Norvane::ConnectServer()
{
    IFileDownloader* downloader = SelectServer(internetAvailable_);
    if (downloader) {
        g_log.Item(L"-> Config file source", downloader->GetDescriptionUrl());
        g_log.Item(L"-> Update files source", downloader->GetFilesUrl());
    }
    serverReached_ = downloader ? 1 : 0;
    g_statusFile.serverReached = serverReached_;
    return serverReached_;
}

BOOL Norvane::AbandonUpdate()
{
    g_log.Heading(L"Update will not be undertaken");
    std::unique_ptr<PermissionManager::IClientFileManager> files(PermissionManager::CreateFileManager());
    files->RemoveTree(TemporaryFolder() + kFolderName);
    return 0;
}

BOOL Norvane::StartDownload(HWND window)
{
    g_progressWindow = window;
    if (localDescription_) {
        PostProgress(WM_APP_DOWNLOAD_END, 1, 0);
        filesReady_ = 1;
        return 1;
    }
    const int count = static_cast<int>(g_updateItems.FileList().Entries().size());
    g_log.Heading(L"Downloading files");
    g_log.Number(L"No. file requests", static_cast<unsigned long>(count));
    if (count <= 0) {
        filesReady_ = 1;
        PostProgress(WM_APP_DOWNLOAD_END, 1, count);
    } else if (!SilentRun()) {
        // Nothing waits for the thread: the wizard hears of its end through WM_APP_DOWNLOAD_END.
        Common::UniqueHandle thread(::CreateThread(nullptr, 0, DownloadThread, this, 0, nullptr));
    } else {
        DownloadFiles();
    }
    return 1;
}

DWORD WINAPI Norvane::DownloadThread(void* session)
{
    return static_cast<Norvane*>(session)->DownloadFiles();
}

DWORD Norvane::DownloadFiles()
{
    const DownloadFile& list = g_updateItems.FileList();
    CFileTransfer transfer(g_progressWindow, SilentRun());
    const WPARAM count = list.Entries().size();
    SendProgress(WM_APP_DOWNLOAD_BEGIN, count, static_cast<LPARAM>(list.TotalSize()));
    for (const FileEntry& entry : list.Entries()) {
        if (entry.alreadyDownloaded || !entry.download)
            continue;
        SendProgress(WM_APP_FILE_BEGIN, reinterpret_cast<WPARAM>(entry.localPath.c_str()),
                     static_cast<LPARAM>(entry.size));
        g_log.ItemNumber(L"Download file", entry.remotePath, static_cast<unsigned long>(entry.size));
        ::Sleep(kPauseBeforeFile);
        if (!transfer.TransferFile(downloadFolder_, entry.remotePath, entry.temporaryName,
                                   static_cast<DWORD>(entry.size), entry.crc)) {
            PostProgress(WM_QUIT, 0, 0);
            g_log.Line(L"File transfer error occured");
            return 0;
        }
    }
    SendProgress(WM_APP_DOWNLOAD_END, 1, static_cast<LPARAM>(count));
    filesReady_ = 1;
    return 1;
}

bool Norvane::Install()
{
    if (!filesReady_)
        return false;
    g_log.Line(L"");
    g_log.Item(L"File transfer status", L"Success");
    CloseMainApplication();
    if (!localDescription_ && !g_updateItems.InstallUpdate()) {
        if (!SilentRun())
            ShowMessageOnly(::GetActiveWindow(), L"An error occured during the update process. Check the log "
                                                 L"file for details and email support for assistance.");
        return false;
    }
    FinishUpdate();
    return true;
}

// A silent run waits for each instance to end by itself; with the wizard each one is asked to
// close and terminated when it has not ended in time.
void Norvane::CloseMainApplication()
{
    if (g_runSettings.doNotTerminate) {
        g_log.Line(L"Not terminating the main application");
        return;
    }
    const std::wstring name = g_runSettings.MainApplicationName();
    if (name.empty())
        return;
    g_log.Item(L"Terminating main application", name);
    ProcessCloser closer;
    bool closed = closer.CloseProcess(name, SilentRun(), 0, kCloseTimeout);
    for (int more = 0; closed && more < kMoreInstancesToClose; ++more)
        closed = closer.CloseProcess(name, SilentRun(), 0, kCloseTimeout);
}

void Norvane::FinishUpdate()
{
    g_updateItems.RunPhase(L"OnUpdateProcessComplete");
    ::Sleep(kPauseAfterCompletion);
    if (SilentRun()) {
        const std::wstring finished = ExpandVariables(g_screenTexts.silentFinished);
        if (!finished.empty())
            ShowMessageOnly(nullptr, finished);
    }
    if (g_runSettings.restartMode == 0) {
        g_log.Line(L"Restarting the main application");
        g_runSettings.RestartMainApplication();
    }
    g_statusFile.SetCurrentVersion(g_statusFile.RemoteVersion());
}

void Norvane::SendProgress(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_progressWindow)
        ::SendMessageW(g_progressWindow, message, wParam, lParam);
}

void Norvane::PostProgress(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_progressWindow)
        ::PostMessageW(g_progressWindow, message, wParam, lParam);
}

bool Norvane::LoadUpdateDescription()
{
    return UpdateDescription::Load();
}
