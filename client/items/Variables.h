#pragma once
// Placeholders in publisher-written texts (record fields, wizard messages, description paths)
// that are filled on the user's machine: built-in names such as "%Login%" and user-defined
// "%VARIABLE source|type%" tokens read from the registry or from a file.
#include <windows.h>

#include <string>

// Every built-in name, then up to 26 user-defined tokens. Never fails: what cannot be read
// becomes an empty value and is explained in the log, and a token without its closing "%"
// stays in the text. XPath tokens use COM, which the calling thread must have initialised.
std::wstring ExpandVariables(const std::wstring& text);

// A string resource of the client with its line ends made CR LF, then expanded.
std::wstring LoadMessageText(UINT id);

// A message that the description may configure and the client's resources may supply:
// with an id, an empty configured text falls back to the resource, and a configured text is
// taken with its line ends as written; without an id, an empty text stays empty.
std::wstring ChooseMessageText(const std::wstring& configuredText, UINT id);

// The texts of "%CurrentVersion%" and "%UpdateVersion%"; both are empty until the version
// check has run.
void SetDescriptionVersions(const std::wstring& currentVersion, const std::wstring& updateVersion);
