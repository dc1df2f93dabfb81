#pragma once
// The two ways item sections nest their elements: Directory trees (files, shortcuts), whose
// leaves are File elements below a base path, and RunAt trees (executions, services), whose
// leaves are Execute elements of a phase. Children of the first kind are read before leaves.
#include "ItemPaths.h"
#include "NodeIterator.h"

#include <msxml2.h>
#include <windows.h>

#include <functional>
#include <string>

// Reads one leaf with the base path or phase it lies under.
using LeafReader = std::function<void(const NodeIterator& leaf, const std::wstring& context)>;

// Directory elements recursively (tags translated; a failed tag ends the walk with FALSE),
// then the File leaves.
BOOL ReadDirectoryTree(IXMLDOMNode* element, const std::wstring& basePath, TagTranslator translator,
                       const std::wstring& sectionName, const LeafReader& readFile);

// RunAt elements recursively with their Name as the phase (an empty Name logs
// `missingPhaseLine` and is passed over), then the Execute leaves.
BOOL ReadPhaseTree(IXMLDOMNode* element, const std::wstring& phase, const wchar_t* missingPhaseLine,
                   const std::wstring& sectionName, const LeafReader& readItem);
