#pragma once
// One update from the check to the restart of the main application, driven silently by the
// entry point or step by step by the wizard.
#include "common/Object.h"

#include <windows.h>

#include <cstdint>
#include <string>

class Norvane : public Object {
public:
    static Norvane& Instance();

    void SetLocalDescription(const std::wstring& path);
    // True when an update server answered.
    BOOL ConnectServer();
    // True when the description was loaded, accepted and lists files to download.
    bool LoadUpdateDescription();
    // Downloads the listed files, on a thread of its own when the wizard shows the progress.
    BOOL StartDownload(HWND window);
    // Closes the main application, installs the items and finishes the update.
    bool Install();
    // Gives the update up and removes what was downloaded for it.
    BOOL AbandonUpdate();

    bool InternetAvailable() const { return internetAvailable_ != 0; }
    bool ServerReached() const { return serverReached_ != 0; }
    bool IsLocalDescription() const { return localDescription_ != 0; }
    bool DescriptionLoaded() const { return descriptionLoaded_ != 0; }
    bool FilesReady() const { return filesReady_ != 0; }
    const std::wstring& LocalDescriptionPath() const { return localDescriptionPath_; }
    const std::wstring& DownloadFolder() const { return downloadFolder_; }
    void MarkDescriptionLoaded() { descriptionLoaded_ = 1; }

private:
    Norvane();
    static DWORD WINAPI DownloadThread(void* session);
    DWORD DownloadFiles();
    void CloseMainApplication();
    void FinishUpdate();
    static void SendProgress(UINT message, WPARAM wParam, LPARAM lParam);
    static void PostProgress(UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring downloadFolder_;
    int32_t filesReady_ = 0;
    int32_t descriptionLoaded_ = 0;
    int32_t localDescription_ = 0;
    std::wstring localDescriptionPath_;
    int32_t internetAvailable_ = 0;
    int32_t serverReached_ = 0;
};

// The window that receives the session's progress messages; none in silent runs.
extern HWND g_progressWindow;
