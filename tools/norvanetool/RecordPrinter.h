#pragma once
// Writes a record as configuration file text, every settable field in record order, so that
// the text read back gives the same record.
#include "core/ConfigRecord.h"

#include <string>

namespace NorvaneTool {

// Lines end in CR LF, as the text of any other Windows tool.
std::wstring FormatRecordText(const ConfigRecord& record);

} // namespace NorvaneTool
