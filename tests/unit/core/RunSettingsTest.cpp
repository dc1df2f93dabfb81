#include "core/ConfigRecord.h"
#include "core/RunSettings.h"
#include "common/FixedText.h"

#include <gtest/gtest.h>

namespace {

class RecordWords {
public:
    RecordWords(const wchar_t* checkNow, const wchar_t* checkBackground) : saved_(g_configRecord)
    {
        Common::StoreFieldText(g_configRecord.checkNowWord, checkNow);
        Common::StoreFieldText(g_configRecord.checkBackgroundWord, checkBackground);
    }
    ~RecordWords() { g_configRecord = saved_; }

private:
    ConfigRecord saved_;
};

struct ParseCase {
    const wchar_t* commandLine;
    RunMode mode;
    const wchar_t* passedOn;
};

class RunSettingsParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RunSettingsParse, SelectsTheModeAndStripsItsWord)
{
    RecordWords words(L"checknow", L"Background");
    RunSettings settings;
    settings.Parse(GetParam().commandLine, SW_SHOWMINIMIZED);
    EXPECT_EQ(GetParam().mode, settings.runMode) << GetParam().commandLine;
    EXPECT_EQ(std::wstring(GetParam().passedOn), settings.commandLine) << GetParam().commandLine;
    EXPECT_EQ(SW_SHOWMINIMIZED, settings.showCommand);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, RunSettingsParse, ::testing::Values(
    ParseCase{L"  /CHECKNOW extra", CheckNow, L"extra"},
    ParseCase{L"-checknow", CheckNow, L""},
    ParseCase{L"\\checknow --a \"b c\"", CheckNow, L"--a \"b c\""},
    ParseCase{L"--background", CheckBackground, L""},
    ParseCase{L"/BACKGROUND  two", CheckBackground, L" two"},
    ParseCase{L"Scheduler", Scheduler, L""},
    ParseCase{L"/scheduler x", Scheduler, L"x"},
    // testMode is case-sensitive and must stand at the very start; the line stays whole.
    ParseCase{L"testMode C:\\updates\\update.xml", Test, L"testMode C:\\updates\\update.xml"},
    ParseCase{L"testModeX", Test, L"testModeX"},
    ParseCase{L"testmode x", Plain, L"testmode x"},
    ParseCase{L" testMode x", Plain, L" testMode x"},
    // Anything else is passed on whole.
    ParseCase{L"checknowx", Plain, L"checknowx"},
    ParseCase{L"--opt \"a b\"", Plain, L"--opt \"a b\""},
    ParseCase{L"", Plain, L""},
    ParseCase{L"   ", Plain, L"   "}));

TEST(RunSettingsParse, EmptyWordsInTheRecordNeverMatch)
{
    RecordWords words(L"", L"");
    for (const wchar_t* line : {L"", L"  ", L"/", L"- x"}) {
        RunSettings settings;
        settings.Parse(line, SW_SHOW);
        EXPECT_EQ(Plain, settings.runMode) << line;
        EXPECT_EQ(std::wstring(line), settings.commandLine);
    }
}

TEST(RunSettingsParse, CheckNowWordIsTriedBeforeTheBackgroundWord)
{
    RecordWords words(L"check", L"check");
    RunSettings settings;
    settings.Parse(L"check", SW_SHOW);
    EXPECT_EQ(CheckNow, settings.runMode);
}

TEST(RunSettingsMainApplication, PathIsTheClientFolderAndIsFixedOnFirstUse)
{
    ConfigRecord saved = g_configRecord;
    Common::StoreFieldText(g_configRecord.mainApplication, L"Missing App.exe");
    RunSettings settings;
    const std::wstring path = settings.MainApplicationPath();
    Common::StoreFieldText(g_configRecord.mainApplication, L"Other.exe");
    EXPECT_EQ(path, settings.MainApplicationPath());
    g_configRecord = saved;

    wchar_t own[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own);
    folder.erase(folder.rfind(L'\\') + 1);
    EXPECT_EQ(folder + L"Missing App.exe", path);
}

TEST(RunSettingsMainApplication, MissingOrUnnamedApplicationIsNotLaunched)
{
    ConfigRecord saved = g_configRecord;
    for (const wchar_t* name : {L"", L"No Such App.exe"}) {
        Common::StoreFieldText(g_configRecord.mainApplication, name);
        RunSettings settings;
        EXPECT_FALSE(settings.MainApplicationExists()) << name;
        EXPECT_FALSE(settings.LaunchMainApplication()) << name;
    }
    g_configRecord = saved;
}

} // namespace
