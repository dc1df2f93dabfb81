#include "core/PermissionCommand.h"

#include <gtest/gtest.h>

namespace {

struct CommandCase {
    const wchar_t* commandLine;
    PermissionCommand::Kind kind;
    const wchar_t* trimmed;
    const wchar_t* text;
    bool textTaken;
};

class PermissionCommandCases : public ::testing::TestWithParam<CommandCase> {};

TEST_P(PermissionCommandCases, RecognisesTheWord)
{
    const CommandCase& c = GetParam();
    const PermissionCommand command = ParsePermissionCommand(c.commandLine);
    EXPECT_EQ(c.kind, command.kind);
    EXPECT_EQ(std::wstring(c.trimmed), command.trimmedCommandLine);
    EXPECT_EQ(std::wstring(c.text), command.commandText);
    EXPECT_EQ(c.textTaken, command.textTaken);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, PermissionCommandCases, ::testing::Values(
    CommandCase{L"--PermissionsManagerInstall C:\\Tools", PermissionCommand::Install,
                L"PermissionsManagerInstall C:\\Tools", L" C:\\Tools", true},
    CommandCase{L"/PermissionManagerInstall", PermissionCommand::Install, L"PermissionManagerInstall", L"", true},
    CommandCase{L"-PermissionsManagerUninstall \"C:\\A B\\c.exe\"", PermissionCommand::Uninstall,
                L"PermissionsManagerUninstall \"C:\\A B\\c.exe\"", L" \"C:\\A B\\c.exe\"", true},
    CommandCase{L"permissionmanagercheckinstalled", PermissionCommand::CheckInstalled,
                L"permissionmanagercheckinstalled", L"", false},
    CommandCase{L"\\/-PermissionManagerRun", PermissionCommand::Run, L"PermissionManagerRun", L"", false},
    CommandCase{L"-PERMISSIONSMANAGERACTIVATE", PermissionCommand::Activate, L"PERMISSIONSMANAGERACTIVATE", L"", false},
    // Blanks are not trimmed: a leading blank hides the word.
    CommandCase{L" /permissionmanagerinstall", PermissionCommand::None, L" /permissionmanagerinstall", L"", false},
    CommandCase{L"/checknow", PermissionCommand::None, L"checknow", L"", false},
    CommandCase{L"permissionmanager", PermissionCommand::None, L"permissionmanager", L"", false},
    CommandCase{L"", PermissionCommand::None, L"", L"", false}));

} // namespace
