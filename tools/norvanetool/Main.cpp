#include "ConsoleOutput.h"
#include "ToolCommands.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t* argv[])
{
    const std::vector<std::wstring> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const NorvaneTool::ToolOutcome outcome = NorvaneTool::RunTool(arguments);
    NorvaneTool::WriteStream(STD_OUTPUT_HANDLE, outcome.output);
    NorvaneTool::WriteStream(STD_ERROR_HANDLE, outcome.errors);
    return outcome.exitCode;
}
