#include "Variables.h"

#include "DirectoryTags.h"
#include "common/ComPtr.h"
#include "common/FixedText.h"
#include "common/Xml.h"
#include "core/ConfigRecord.h"
#include "core/EnvironmentFacts.h"
#include "core/Log.h"
#include "permission/StandardFileManagement.h"
#include "ui/AppModule.h"

#include <objbase.h>

#include <cwchar>
#include <vector>

namespace {

const wchar_t kTokenStart[] = L"%VARIABLE ";
const std::wstring::size_type kTokenStartLength = 10;
// Values may hold further tokens, so the rounds are counted to keep a self-referring value
// from expanding without end.
const int kMaxTokenRounds = 26;
const DWORD kFileTextCapacity = 1023;

std::wstring g_currentVersion;
std::wstring g_updateVersion;

// Searching on after the inserted text keeps a value that contains `what` from being
// replaced again.
void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with)
{
    if (what.empty())
        return;
    for (std::wstring::size_type at = text.find(what); at != std::wstring::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

std::wstring NormalizeLineEnds(std::wstring text)
{
    ReplaceAll(text, L"\r\n", L"\n");
    ReplaceAll(text, L"\n", L"\r\n");
    return text;
}

bool IsType(const std::wstring& type, const wchar_t* name)
{
    return ::_wcsicmp(type.c_str(), name) == 0;
}

std::wstring LoginName() { return g_environmentFacts.UserName(); }
std::wstring PlatformName() { return g_environmentFacts.OsName(); }
std::wstring IpAddress() { return g_environmentFacts.IpAddress(); }
std::wstring HostName() { return g_environmentFacts.HostName(); }
std::wstring ApplicationName() { return Common::FieldText(g_configRecord.applicationName); }
std::wstring CompanyName() { return Common::FieldText(g_configRecord.companyName); }
std::wstring CompanyEmail() { return Common::FieldText(g_configRecord.companyEmail); }
std::wstring CurrentVersion() { return g_currentVersion; }
std::wstring UpdateVersion() { return g_updateVersion; }

// The order matters: a value may itself contain a name that comes later in the table.
void ReplaceBuiltIns(std::wstring& text)
{
    static const struct {
        const wchar_t* name;
        std::wstring (*value)();
    } builtIns[] = {
        {L"%Login%", LoginName},
        {L"%Platform%", PlatformName},
        {L"%IpAddress%", IpAddress},
        {L"%HostName%", HostName},
        {L"%ApplicationName%", ApplicationName},
        {L"%CompanyName%", CompanyName},
        {L"%CompanyEmail%", CompanyEmail},
        {L"%CurrentVersion%", CurrentVersion},
        {L"%UpdateVersion%", UpdateVersion},
    };
    // Values are fetched only when needed: the host facts cost a network lookup.
    for (const auto& builtIn : builtIns) {
        if (text.find(builtIn.name) != std::wstring::npos)
            ReplaceAll(text, builtIn.name, builtIn.value());
    }
}

std::wstring XmlFileValue(const std::wstring& path, const std::wstring& xpath)
{
    if (path.empty() || xpath.empty()) {
        g_log.Item2(L"\r\nXML file read errors", path, xpath);
        return std::wstring();
    }
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"MSXML2.DOMDocument");
    if (document && !Common::LoadXml(document.Get(), path))
        document.Reset();
    if (!document) {
        g_log.Item(L"\r\nVariable cannot be read from XML file. Error opening file", path);
        return std::wstring();
    }
    const Common::ComPtr<IXMLDOMNode> node = Common::SelectNode(document.Get(), xpath);
    if (!node) {
        g_log.Item(L"\r\nVariable cannot be read from XML path", xpath);
        return std::wstring();
    }
    return Common::NodeText(node.Get());
}

// The bytes are text up to the first zero byte, as a publisher's text file would be read.
std::wstring FromAnsi(const char* bytes, DWORD count)
{
    DWORD length = 0;
    while (length < count && bytes[length] != '\0')
        ++length;
    if (length == 0)
        return std::wstring();
    const int units = ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (units <= 0)
        return std::wstring();
    std::vector<wchar_t> wide(static_cast<std::size_t>(units));
    ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(length), wide.data(), units);
    return std::wstring(wide.data(), wide.size());
}

DWORD ReadUpTo(PermissionManager::IClientFileManager& file, char* buffer, DWORD capacity)
{
    DWORD total = 0;
    while (total < capacity) {
        const DWORD got = file.Read(buffer + total, capacity - total);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

std::wstring PlainFileValue(const std::wstring& path)
{
    PermissionManager::StandardFileManagement file;
    if (!file.Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        g_log.Item(L"\r\nErrors opening", path);
        return std::wstring();
    }
    char bytes[kFileTextCapacity];
    const DWORD count = ReadUpTo(file, bytes, kFileTextCapacity);
    file.Close();
    return FromAnsi(bytes, count);
}

// "<WinDir>\name" becomes the folder followed by "\name". A "<" without its ">" is taken as
// part of the file name rather than guessed at.
std::wstring WithTagTranslated(const std::wstring& source)
{
    if (source.empty() || source[0] != L'<')
        return source;
    const std::wstring::size_type close = source.find(L'>');
    if (close == std::wstring::npos)
        return source;
    std::wstring folder = TranslateDirectoryTag(source.substr(0, close + 1));
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder + source.substr(close + 1);
}

// `source` becomes the path actually read, so that the log names it.
std::wstring FileValue(std::wstring& source)
{
    source = WithTagTranslated(source);
    // A leading at sign is part of a file name, never the start of an XPath.
    if (source.find(L'@', 1) == std::wstring::npos)
        return PlainFileValue(source);
    const std::wstring::size_type at = source.find(L'@');
    return XmlFileValue(source.substr(0, at), source.substr(at + 1));
}

std::wstring RegistryValue(const std::wstring& source, const std::wstring& type)
{
    // The expansion runs where the text is shown, so it reads with the user's own rights.
    PermissionManager::StandardFileManagement registry;
    return registry.QueryRegistryValue(source, type);
}

std::wstring VariableValue(std::wstring source, const std::wstring& type)
{
    std::wstring value;
    if (IsType(type, L"REG_SZ") || IsType(type, L"REG_DWORD"))
        value = RegistryValue(source, type);
    else if (IsType(type, L"FILE"))
        value = FileValue(source);
    else
        g_log.Item2(L"Unknown variable type", source, type);
    g_log.Item2(L"Variable replacement", source, value);
    return value;
}

// "%VARIABLE source|type%": the body between the start text and the closing "%" or "%"s.
std::wstring TokenValue(const std::wstring& token)
{
    std::wstring body = token.substr(kTokenStartLength);
    while (!body.empty() && body.back() == L'%')
        body.pop_back();
    const std::wstring::size_type bar = body.find(L'|');
    if (bar == std::wstring::npos)
        return std::wstring();
    return VariableValue(body.substr(0, bar), body.substr(bar + 1));
}

HINSTANCE ResourceInstance()
{
    const HINSTANCE instance = g_appModule.Instance();
    return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}

std::wstring StringResource(UINT id)
{
    // With a zero length LoadString hands out the resource text itself, of any length.
    const wchar_t* resource = nullptr;
    const int length = ::LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || resource == nullptr)
        return std::wstring();
    return std::wstring(resource, static_cast<std::size_t>(length));
}

} // namespace

std::wstring ExpandVariables(const std::wstring& text)
{
    std::wstring result = text;
    ReplaceBuiltIns(result);
    for (int round = 0; round < kMaxTokenRounds; ++round) {
        const std::wstring::size_type start = result.find(kTokenStart);
        if (start == std::wstring::npos)
            break;
        const std::wstring::size_type close = result.find(L'%', start + 1);
        if (close == std::wstring::npos)
            break;
        const std::wstring token = result.substr(start, close - start + 1);
        ReplaceAll(result, token, TokenValue(token));
    }
    return result;
}

std::wstring LoadMessageText(UINT id)
{
    return ExpandVariables(NormalizeLineEnds(StringResource(id)));
}

std::wstring ChooseMessageText(const std::wstring& configuredText, UINT id)
{
    if (id == 0)
        return configuredText.empty() ? std::wstring() : ExpandVariables(NormalizeLineEnds(configuredText));
    if (configuredText.empty())
        return LoadMessageText(id);
    return ExpandVariables(configuredText);
}

void SetDescriptionVersions(const std::wstring& currentVersion, const std::wstring& updateVersion)
{
    g_currentVersion = currentVersion;
    g_updateVersion = updateVersion;
}
