#include "MessageOnly.h"

#include "core/ConfigRecord.h"
#include "common/FixedText.h"

void ShowMessageOnly(HWND owner, const std::wstring& text)
{
    // The title is the application's name, as on every window of the update.
    const std::wstring title = Common::FieldText(g_configRecord.applicationName);
    ::MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
}
