#pragma once
// Path composition shared by the sections that nest Directory elements (files, shortcuts).
#include <string>

// Turns a whole directory tag such as "<WinDir>" into its folder; empty when it cannot.
using TagTranslator = std::wstring (*)(const std::wstring& tag);

// Nested elements deeper than this are refused: no real folder tree, phase or registry key
// reaches it, and a hostile description must not exhaust the stack.
const int kMaxItemNesting = 100;

// The base path of a Directory named `name` below `basePath`: a tag name (starting with "<")
// is translated first. False, with "Directory tag translation failed" logged, when the tag
// yields no folder. A null translator means TranslateDirectoryTag.
bool ChildDirectoryPath(const std::wstring& basePath, const std::wstring& name,
                        TagTranslator translator, std::wstring& childPath);

// `basePath`, a backslash and `name`, normalised.
std::wstring ItemLocalPath(const std::wstring& basePath, const std::wstring& name);

// Logged when nesting goes beyond kMaxItemNesting; the section is read no further.
void LogNestingTooDeep(const std::wstring& sectionName);
