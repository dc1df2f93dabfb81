#pragma once
// A client executable opened for reading its resources; nothing of it is run.
#include "common/UniqueHandle.h"

#include <windows.h>

#include <string>

namespace NorvaneTool {

class ClientImage {
public:
    // The language a record is written in when the base file carries none yet.
    static constexpr WORD kDefaultRecordLanguage = 0x0409;

    // Throws ToolError when the file is missing or not a Windows program.
    explicit ClientImage(const std::wstring& path);

    // The language of the existing record resource; updating in another one would add a
    // second record beside it instead of replacing it.
    WORD RecordLanguage() const;

    // The raw resource data; false when the file carries no record.
    bool RecordData(std::string& data) const;

private:
    Common::UniqueLibrary module_;
};

} // namespace NorvaneTool
