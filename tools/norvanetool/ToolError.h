#pragma once
// The one kind of failure the tool reports: a message for the user, without the program prefix.
#include <windows.h>

#include <exception>
#include <string>
#include <utility>

namespace NorvaneTool {

class ToolError : public std::exception {
public:
    explicit ToolError(std::wstring message) : message_(std::move(message)) {}

    const std::wstring& Message() const noexcept { return message_; }
    // The wide message is the real one; this only satisfies std::exception.
    const char* what() const noexcept override { return "norvanetool error"; }

    // "<what>: <system text of code>", for failed Windows calls.
    static ToolError FromSystem(const std::wstring& what, DWORD code);

private:
    std::wstring message_;
};

} // namespace NorvaneTool
