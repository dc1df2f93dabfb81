#pragma once
// Configuration texts and helpers shared by the tool's tests.
#include "ConfigFileParser.h"
#include "ToolError.h"
#include "core/ConfigRecord.h"

#include <cstring>
#include <string>

namespace ToolTest {

inline const char* SampleConfig()
{
    return "# comment lines start with # or ;\n"
           "mainApplication = SampleApp.exe\n"
           "applicationName = Sample Application\n"
           "loggingEnabled = 1\n"
           "[primary]\n"
           "protocol = http://\n"
           "hostPath = 127.0.0.1:8080/updates/update.xml\n"
           "[backup]\n"
           "protocol = https://\n"
           "hostPath = localhost/update.xml\n";
}

// The message of the error the text is refused with, or empty when it is accepted.
inline std::wstring ParseError(const std::string& text)
{
    try {
        NorvaneTool::ParseConfigText(text);
    } catch (const NorvaneTool::ToolError& error) {
        return error.Message();
    }
    return std::wstring();
}

inline bool SameBytes(const ConfigRecord& left, const ConfigRecord& right)
{
    return std::memcmp(&left, &right, sizeof left) == 0;
}

} // namespace ToolTest
