#include "ItemsTestSupport.h"

#include "common/UniqueHandle.h"
#include "common/Xml.h"
#include "core/Log.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>

namespace ItemsTest {

namespace {

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::FindClose(handle); }
};

// More than one test file of this program opens the process log in a scratch folder of its
// own, and only the first opening counts. So the log is found by a marker written through it:
// it is the one file among this process's scratch folders that holds the marker.
std::wstring FindLogByMarker(const std::wstring& marker)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring prefix = std::wstring(temp) + L"norvane-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    WIN32_FIND_DATAW folder;
    Common::UniqueHandleOf<FindHandleTraits> folders(::FindFirstFileW((prefix + L"*").c_str(), &folder));
    if (!folders)
        return std::wstring();
    do {
        const std::wstring folderPath = std::wstring(temp) + folder.cFileName + L"\\";
        WIN32_FIND_DATAW file;
        Common::UniqueHandleOf<FindHandleTraits> files(::FindFirstFileW((folderPath + L"*").c_str(), &file));
        if (!files)
            continue;
        do {
            if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::string bytes = TestSupport::ReadBytes(folderPath + file.cFileName);
            const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
            if (text.find(marker) != std::wstring::npos)
                return folderPath + file.cFileName;
        } while (::FindNextFileW(files.Get(), &file));
    } while (::FindNextFileW(folders.Get(), &folder));
    return std::wstring();
}

std::unique_ptr<TestSupport::ScratchFolder> g_ownLogFolder;

const std::wstring& LogPath()
{
    static std::wstring path;
    if (!path.empty())
        return path;
    if (!g_log.IsOpen()) {
        g_ownLogFolder.reset(new TestSupport::ScratchFolder);
        g_log.SetUp(*g_ownLogFolder / L"items-log.txt", false);
    }
    const std::wstring marker = L"items test log marker " + std::to_wstring(::GetTickCount());
    g_log.Line(marker);
    path = FindLogByMarker(marker);
    return path;
}

} // namespace

std::wstring LogText()
{
    const std::string bytes = TestSupport::ReadBytes(LogPath());
    if (bytes.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

LogWatch::LogWatch() : start_(LogText().size()) {}

std::wstring LogWatch::Added() const
{
    const std::wstring text = LogText();
    return start_ < text.size() ? text.substr(start_) : std::wstring();
}

ComApartment::ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment()
{
    if (initialised_)
        ::CoUninitialize();
}

Common::ComPtr<IXMLDOMDocument> ParseDocument(const std::wstring& markup)
{
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"Microsoft.XMLDOM");
    EXPECT_TRUE(document) << "no XML document class";
    if (!document)
        return document;
    const bool loaded = Common::LoadXmlText(document.Get(), markup);
    EXPECT_TRUE(loaded) << "markup not well-formed";
    if (!loaded)
        document.Reset();
    return document;
}

Common::ComPtr<IXMLDOMNode> ParseElement(const std::wstring& markup, const std::wstring& path,
                                         Common::ComPtr<IXMLDOMDocument>& document)
{
    document = ParseDocument(markup);
    Common::ComPtr<IXMLDOMNode> element = Common::SelectNode(document.Get(), path);
    EXPECT_TRUE(element) << "no element at the path";
    return element;
}

std::wstring Escaped(const std::wstring& text)
{
    std::wstring result;
    for (wchar_t unit : text) {
        switch (unit) {
        case L'&': result += L"&amp;"; break;
        case L'<': result += L"&lt;"; break;
        case L'>': result += L"&gt;"; break;
        case L'"': result += L"&quot;"; break;
        default: result += unit; break;
        }
    }
    return result;
}

FILETIME DosFileTime(WORD date, WORD time)
{
    FILETIME result = {};
    EXPECT_TRUE(::DosDateTimeToFileTime(date, time, &result));
    return result;
}

bool SetLastWriteTime(const std::wstring& path, const FILETIME& time)
{
    Common::UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::SetFileTime(file.Get(), nullptr, nullptr, &time);
}

std::wstring ByDateText(WORD date, WORD time)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%04X%04X", static_cast<unsigned>(date), static_cast<unsigned>(time));
    return text;
}

std::wstring FixtureProgram(const std::wstring& name)
{
    return TestSupport::ProgramFolder() + name;
}

} // namespace ItemsTest
