#pragma once
// The texts an update description gives the wizard and the silent run, empty when it gives none.
#include <string>

struct ScreenTexts {
    std::wstring welcome;
    std::wstring license;
    std::wstring reason;
    std::wstring updateNotNeeded;
    std::wstring installComplete;
    std::wstring silentFinished;
};

extern ScreenTexts g_screenTexts;
