#pragma once
// Reads the text of a configuration file into a record.
//
//   # comment (also ';'), blank lines ignored
//   mainApplication = SampleApp.exe     top-level fields come before any section
//   [primary]                           server block fields of the primary server
//   hostPath = example.com/update.xml
//   [backup]                            ... and of the backup server
//
// The value is everything after the first '=' without surrounding blanks and tabs.
#include "core/ConfigRecord.h"

#include <string>

namespace NorvaneTool {

// UTF-8 text, with or without a byte order mark, lines ending in LF or CR LF. Fields that are
// not given stay zero. Throws ToolError with a "line N: ..." message on the first mistake.
ConfigRecord ParseConfigText(const std::string& text);

} // namespace NorvaneTool
