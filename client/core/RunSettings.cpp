#include "RunSettings.h"

#include "ConfigRecord.h"
#include "Log.h"
#include "common/FixedText.h"
#include "common/ModulePath.h"

#include <shellapi.h>

namespace {

const wchar_t kModeSeparators[] = L" -/\\";

bool SameWord(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

struct ModeWord {
    std::wstring word;
    RunMode mode;
    const wchar_t* logLine;
};

} // namespace

void RunSettings::Parse(const std::wstring& line, int show)
{
    commandLine = line;
    showCommand = show;
    g_log.Item(L"Command line", commandLine);

    if (commandLine.compare(0, 8, L"testMode") == 0) {
        g_log.Line(L"Test mode detected");
        runMode = Test;
        return;
    }

    const std::wstring::size_type start = commandLine.find_first_not_of(kModeSeparators);
    const std::wstring trimmed = start == std::wstring::npos ? std::wstring() : commandLine.substr(start);
    const std::wstring::size_type blank = trimmed.find(L' ');
    const std::wstring word = trimmed.substr(0, blank);
    const std::wstring rest = blank == std::wstring::npos ? std::wstring() : trimmed.substr(blank + 1);

    const ModeWord modes[] = {
        {Common::FieldText(g_configRecord.checkNowWord), CheckNow, L"CheckNow mode detected"},
        {Common::FieldText(g_configRecord.checkBackgroundWord), CheckBackground, L"CheckBackground mode detected"},
        {L"Scheduler", Scheduler, L"Scheduler mode detected"},
    };
    for (const ModeWord& mode : modes) {
        // A word left empty in the record selects nothing, not even an empty command line.
        if (mode.word.empty() || !SameWord(word, mode.word))
            continue;
        commandLine = rest;
        g_log.Line(mode.logLine);
        runMode = mode.mode;
        return;
    }
}

std::wstring RunSettings::MainApplicationName() const
{
    return Common::FieldText(g_configRecord.mainApplication);
}

const std::wstring& RunSettings::MainApplicationPath()
{
    if (!mainApplicationPathFixed_) {
        mainApplicationPath_ = Common::ModuleFolder() + MainApplicationName();
        mainApplicationPathFixed_ = true;
    }
    return mainApplicationPath_;
}

bool RunSettings::MainApplicationExists()
{
    if (MainApplicationName().empty())
        return false;
    if (::GetFileAttributesW(MainApplicationPath().c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    g_log.Item(L"Main application program not found", MainApplicationPath());
    return false;
}

Common::UniqueHandle RunSettings::StartMainApplication(int showState)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT;
    info.lpFile = MainApplicationPath().c_str();
    info.lpParameters = commandLine.c_str();
    info.nShow = showState;
    if (!::ShellExecuteExW(&info) || !info.hProcess) {
        g_log.LastError(L"File launch failed with error");
        return Common::UniqueHandle();
    }
    return Common::UniqueHandle(info.hProcess);
}

Common::UniqueHandle RunSettings::LaunchMainApplication()
{
    if (!MainApplicationExists())
        return Common::UniqueHandle();
    Common::UniqueHandle process = StartMainApplication(showCommand);
    if (!process)
        return process;
    ::WaitForInputIdle(process.Get(), 10000);
    if (::WaitForSingleObject(process.Get(), 250) == WAIT_OBJECT_0)
        return Common::UniqueHandle();
    return process;
}

void RunSettings::RestartMainApplication()
{
    if (MainApplicationExists())
        StartMainApplication(SW_SHOW);
}
