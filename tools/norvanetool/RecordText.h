#pragma once
// The record in the form a client carries it in resource "BINARY"/99.
#include "core/ConfigRecord.h"

#include <cstddef>
#include <string>

namespace NorvaneTool {

// The base64 text of the record's bytes in CR LF separated lines, and one zero byte after it,
// exactly as the configuration tool stores it.
std::string RecordResourceData(const ConfigRecord& record);

// Decodes resource data into `record`, which is cleared first, never writing beyond it; the
// result is the number of bytes decoded, below the record size when the text is short.
std::size_t DecodeRecordText(const std::string& data, ConfigRecord& record);

} // namespace NorvaneTool
