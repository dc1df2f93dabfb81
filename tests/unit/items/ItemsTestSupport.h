#pragma once
// What the item tests share: the process log's text, XML documents from markup, COM for one
// test, scratch files with given contents and times, and the fixture programs' paths.
#include "common/ComPtr.h"

#include <windows.h>
#include <msxml2.h>

#include <string>

namespace ItemsTest {

// The whole process log written so far (byte-order mark removed).
std::wstring LogText();

// What the log gained since construction.
class LogWatch {
public:
    LogWatch();
    std::wstring Added() const;

private:
    std::wstring::size_type start_;
};

// An apartment for the calling thread while the object lives.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

// A parsed document; null (and a test failure) when the markup is not well-formed.
Common::ComPtr<IXMLDOMDocument> ParseDocument(const std::wstring& markup);
// The element a path selects in a document parsed from `markup`; the document stays alive
// through `document`.
Common::ComPtr<IXMLDOMNode> ParseElement(const std::wstring& markup, const std::wstring& path,
                                         Common::ComPtr<IXMLDOMDocument>& document);

// Markup-safe text for an attribute value.
std::wstring Escaped(const std::wstring& text);

// A file time from a DOS date and time, as the description's ByDate carries them.
FILETIME DosFileTime(WORD date, WORD time);
bool SetLastWriteTime(const std::wstring& path, const FILETIME& time);

// The ByDate text (eight hex digits) of a DOS date and time.
std::wstring ByDateText(WORD date, WORD time);

// A fixture program beside the test program.
std::wstring FixtureProgram(const std::wstring& name);

} // namespace ItemsTest
