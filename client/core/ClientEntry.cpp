#include "ClientEntry.h"

#include "ConfigRecord.h"
#include "EnvironmentFacts.h"
#include "FileVersion.h"
#include "Log.h"
#include "Norvane.h"
#include "RunSettings.h"
#include "StatusFile.h"
#include "common/FixedText.h"
#include "common/ModulePath.h"
#include "common/UniqueHandle.h"
#include "ui/AppModule.h"
#include "ui/MessageOnly.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

const wchar_t kInstanceMutexName[] = L"Norvane-0C6031EE-DF1C-4af9-A11D-3404ADB3DF48";

bool StartsWithTestMode(const std::wstring& commandLine)
{
    return commandLine.compare(0, 8, L"testMode") == 0;
}

void SetUpLog(const std::wstring& commandLine)
{
    const bool disabled = StartsWithTestMode(commandLine) || g_configRecord.loggingEnabled == 0;
    const std::wstring name = Common::FieldText(g_configRecord.logFileName);
    g_log.SetUp(Common::ModuleFolder() + (name.empty() ? std::wstring(L"NorvaneLog.txt") : name), disabled);
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

void ShowSelfNamedMainApplication()
{
    ShowMessageOnly(nullptr,
        L"You have specified the name of your main application to be '" + g_runSettings.MainApplicationName()
        + L"' which is the same name as the Norvane client that is now running. The main application "
          L"executable should point to the .exe file that launches your application.\r\n\r\n"
          L"Correct the error and try again.");
}

void LogLanguage()
{
    g_log.Number(L"Language", ::GetProfileIntW(L"General", L"Language", 0));
    g_log.Number(L"Locale  ", ::GetThreadLocale());
}

void LaunchOrLog()
{
    // A client without a main application has nothing to launch and says nothing about it.
    if (g_runSettings.MainApplicationName().empty())
        return;
    if (!g_runSettings.LaunchMainApplication())
        g_log.Item(L"Unable to launch", g_runSettings.MainApplicationPath());
}

// The single-instance mutex; none is held when another client keeps it after one retry.
Common::UniqueHandle TakeInstanceMutex(bool& mayCheck)
{
    mayCheck = true;
    Common::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (mutex && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return mutex;
    // Our own handle would keep the mutex alive for the retry.
    mutex.Reset();
    g_log.Line(L"Instance already exists");
    ::Sleep(1000);
    if (g_runSettings.runMode == CheckBackground)
        ::Sleep(10000);
    mutex.Reset(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (mutex && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return mutex;
    mutex.Reset();
    mayCheck = g_runSettings.runMode != CheckBackground;
    return mutex;
}

bool LaunchesFirst()
{
    return g_runSettings.runMode == Plain && g_configRecord.launchAfterCheck == 0;
}

bool LaunchesAfterCheck()
{
    return g_runSettings.runMode == Plain && g_configRecord.launchAfterCheck != 0;
}

// A start on which a check is due. False when the main application is not to be launched
// afterwards, because the wizard left an update ready to install.
bool RunCheck()
{
    const bool silentCheck = (g_runSettings.runMode == Plain && g_configRecord.launchAfterCheck == 0) ||
                             g_runSettings.runMode == CheckBackground;
    if (!silentCheck)
        return true; // the wizard and the scheduler window are still to come
    Norvane& session = Norvane::Instance();
    if (session.LoadUpdateDescription() && g_runSettings.uiMode == 0) {
        session.StartDownload(nullptr);
        session.Install();
    }
    return true;
}

class ComApartment {
public:
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

class ModuleSession {
public:
    explicit ModuleSession(HINSTANCE instance) { g_appModule.Init(instance); }
    ~ModuleSession() { g_appModule.Term(); }
    ModuleSession(const ModuleSession&) = delete;
    ModuleSession& operator=(const ModuleSession&) = delete;
};

} // namespace

int RunClient(HINSTANCE instance, const std::wstring& commandLine, int showCommand)
{
    ComApartment com;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&controls);
    ModuleSession module(instance);

    SetUpLog(commandLine);
    if (g_log.IsOpen())
        g_log.Header(FileVersionText(Common::ModulePath()), g_environmentFacts.OsName());

    if (SamePath(g_runSettings.MainApplicationPath(), Common::ModulePath())) {
        ShowSelfNamedMainApplication();
        return 0;
    }

    g_runSettings.Parse(commandLine, showCommand);
    LogLanguage();

    if (LaunchesFirst()) {
        if (!g_runSettings.MainApplicationName().empty())
            g_log.Line(L"Automatic launch of the main application");
        LaunchOrLog();
    }

    bool mayCheck = true;
    Common::UniqueHandle instanceMutex = TakeInstanceMutex(mayCheck);
    bool launchAfter = true;
    if (mayCheck && g_statusFile.ReadStatus())
        launchAfter = RunCheck();

    if (launchAfter && LaunchesAfterCheck())
        LaunchOrLog();
    return 0;
}
