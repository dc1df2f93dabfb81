#pragma once
// How this run was started and what it passes on to the main application.
#include "common/UniqueHandle.h"

#include <windows.h>

#include <cstdint>
#include <string>

enum RunMode : int32_t { Plain = 0, CheckNow = 1, CheckBackground = 2, Test = 3, Scheduler = 4 };

class RunSettings {
public:
    RunMode runMode = Plain;
    int32_t restartMode = 1;    // 0 restart after the update, 1 let the final page offer it, 2 never
    int32_t uiMode = 1;         // 0 silent, 1 normal wizard, 2 critical-update wizard
    int32_t doNotTerminate = 0; // keep the main application running while installing
    std::wstring commandLine;   // passed on to the main application, without the mode word
    int32_t showCommand = SW_SHOWDEFAULT;
    int32_t schedulerAfter = 0;

    void Parse(const std::wstring& commandLine, int showCommand);

    std::wstring MainApplicationName() const;
    // Fixed on the first call for the rest of the process.
    const std::wstring& MainApplicationPath();
    bool MainApplicationExists();

    // The running main application's process, or none when it did not start or ended at once.
    Common::UniqueHandle LaunchMainApplication();
    void RestartMainApplication();

private:
    Common::UniqueHandle StartMainApplication(int showState);

    std::wstring mainApplicationPath_;
    bool mainApplicationPathFixed_ = false;
};

extern RunSettings g_runSettings;
