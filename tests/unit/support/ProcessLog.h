#pragma once
// The process log of a test program: opened once for the whole test program in a scratch
// folder, so that every test can check the lines the code under test wrote.
#include <cstddef>
#include <string>

namespace TestSupport {

// Everything written to the log so far (byte-order mark removed).
std::wstring LogText();

// The text written since `LogText().size()` was `offset`.
std::wstring LogTextSince(std::size_t offset);

// The log's current length; take it before the action whose lines a test checks.
std::size_t LogMark();

} // namespace TestSupport
