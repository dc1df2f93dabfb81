#pragma once
// The tool's commands, independent of the process around them so that tests can run them.
#include <string>
#include <vector>

namespace NorvaneTool {

struct ToolOutcome {
    int exitCode = 0;     // 0 success, 1 failure, 2 wrong use
    std::wstring output;  // for standard output
    std::wstring errors;  // for standard error
};

// `arguments` are the command line after the program name.
ToolOutcome RunTool(const std::vector<std::wstring>& arguments);

// Writes a copy of `baseClient` carrying the configuration read from `configPath`. The
// configuration and the base client are checked first; on failure no output is left behind.
void MakeClient(const std::wstring& configPath, const std::wstring& baseClient, const std::wstring& output);

// The record carried by a client, as configuration file text.
std::wstring ShowRecord(const std::wstring& client);

} // namespace NorvaneTool
