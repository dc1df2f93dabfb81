#pragma once
// A message-only window of the test's thread that collects the posted progress messages.
#include "transfer/TransferMessages.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace TransferTest {

class ProgressWindow {
public:
    ProgressWindow()
        : window_(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
    {
    }
    ~ProgressWindow() { ::DestroyWindow(window_); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND Handle() const { return window_; }

    std::vector<std::pair<WPARAM, LPARAM>> Messages() const
    {
        std::vector<std::pair<WPARAM, LPARAM>> messages;
        MSG message;
        while (::PeekMessageW(&message, window_, WM_APP_TRANSFER_PROGRESS, WM_APP_TRANSFER_PROGRESS, PM_REMOVE))
            messages.emplace_back(message.wParam, message.lParam);
        return messages;
    }

private:
    HWND window_;
};

} // namespace TransferTest
