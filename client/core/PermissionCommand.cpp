#include "PermissionCommand.h"

#include <cwctype>

namespace {

std::wstring Lowered(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Both spellings are in use: the plural form is read as the singular one.
std::wstring SingularSpelling(std::wstring text)
{
    static const std::wstring plural = L"permissionsmanager";
    static const std::wstring singular = L"permissionmanager";
    for (std::wstring::size_type at = text.find(plural); at != std::wstring::npos; at = text.find(plural, at))
        text.replace(at, plural.size(), singular);
    return text;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

PermissionCommand ParsePermissionCommand(const std::wstring& commandLine)
{
    struct Word { const wchar_t* text; PermissionCommand::Kind kind; };
    static const Word words[] = {
        {L"permissionmanageractivate", PermissionCommand::Activate},
        {L"permissionmanagerinstall", PermissionCommand::Install},
        {L"permissionmanageruninstall", PermissionCommand::Uninstall},
        {L"permissionmanagercheckinstalled", PermissionCommand::CheckInstalled},
        {L"permissionmanagerrun", PermissionCommand::Run},
    };

    PermissionCommand command;
    const std::wstring::size_type start = commandLine.find_first_not_of(L"-/\\");
    command.trimmedCommandLine = start == std::wstring::npos ? std::wstring() : commandLine.substr(start);
    const std::wstring typed = Lowered(command.trimmedCommandLine);
    const std::wstring lowered = SingularSpelling(typed);

    for (const Word& word : words) {
        if (!StartsWith(lowered, word.text))
            continue;
        command.kind = word.kind;
        if (word.kind == PermissionCommand::Install || word.kind == PermissionCommand::Uninstall) {
            // The text starts after the word as typed, which is one longer in the plural spelling.
            const std::wstring::size_type wordLength =
                std::wstring(word.text).size() + (StartsWith(typed, L"permissionsmanager") ? 1 : 0);
            command.commandText = command.trimmedCommandLine.size() > wordLength
                ? command.trimmedCommandLine.substr(wordLength) : std::wstring();
            command.textTaken = true;
        }
        break;
    }
    return command;
}
