#include "DownloadExecute.h"

#include "AttributeValues.h"
#include "DirectoryTags.h"
#include "ItemTrees.h"
#include "common/UniqueHandle.h"
#include "core/Log.h"

#include <shellapi.h>

namespace {

// A program written shortly before its phase (by an earlier item, say) may not be on disk yet.
const int kMissingProgramRetries = 2;
const DWORD kMissingProgramDelayMs = 500;
const DWORD kProcessWaitMs = 30000;

bool ProgramExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WaitForProgram(const std::wstring& path)
{
    for (int attempt = 0; attempt < kMissingProgramRetries && !ProgramExists(path); ++attempt) {
        g_log.Item(L"Delay: Exe missing", path);
        ::Sleep(kMissingProgramDelayMs);
    }
    return ProgramExists(path);
}

Common::UniqueHandle StartProgram(const std::wstring& program, const std::wstring& parameters)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No error dialogs: a phase may run in a silent update, and a failure is not reported.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOW;
    if (!::ShellExecuteExW(&info))
        return Common::UniqueHandle();
    return Common::UniqueHandle(info.hProcess);
}

} // namespace

std::wstring DownloadExecute::SectionName() const
{
    return L"Execute";
}

BOOL DownloadExecute::ParseSection(IXMLDOMNode* element, const std::wstring& phase)
{
    return ReadPhaseTree(element, phase, L"Phase not found for an execution item. Item ignored.", SectionName(),
                         [this](const NodeIterator& program, const std::wstring& itemPhase) {
                             ExecutionEntry entry;
                             entry.command = program.Attribute(L"Name");
                             entry.phase = itemPhase;
                             entry.wait = IsTrueText(program.Attribute(L"WaitForProcess")) ? TRUE : FALSE;
                             entries_.push_back(std::move(entry));
                         });
}

BOOL DownloadExecute::ProcessItems(const std::wstring& phase)
{
    if (phase.empty())
        return TRUE;
    for (const ExecutionEntry& entry : entries_) {
        if (entry.phase == phase)
            Run(entry, phase);
    }
    return TRUE;
}

void DownloadExecute::Run(const ExecutionEntry& entry, const std::wstring& phase)
{
    std::wstring program;
    std::wstring parameters;
    SplitCommand(entry.command, program, parameters);
    program = TranslateTaggedPath(program);
    g_log.Line(L"Execute file: " + program + L" " + phase);
    if (!WaitForProgram(program)) {
        g_log.Item(L"Error: Exe missing", program);
        return;
    }
    const Common::UniqueHandle process = StartProgram(program, parameters);
    if (entry.wait) {
        g_log.Line(L"Waiting for process to finish");
        if (process)
            ::WaitForSingleObject(process.Get(), kProcessWaitMs);
    }
}

void DownloadExecute::SplitCommand(const std::wstring& command, std::wstring& program, std::wstring& parameters)
{
    const std::wstring::size_type open = command.find(L'\'');
    const std::wstring::size_type close = open == std::wstring::npos ? open : command.find(L'\'', open + 1);
    if (close == std::wstring::npos) {
        program = command;
        parameters.clear();
        return;
    }
    parameters = command.substr(open + 1, close - open - 1);
    // The character before the quote is the blank that separates program and parameters.
    program = command.substr(0, open == 0 ? 0 : open - 1);
}

const std::vector<ExecutionEntry>& DownloadExecute::Entries() const
{
    return entries_;
}
