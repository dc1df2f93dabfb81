#include "StatusFile.h"

#include "ConfigRecord.h"
#include "Log.h"
#include "RunSettings.h"
#include "common/FixedText.h"
#include "common/ModulePath.h"
#include "common/Xml.h"
#include "permission/IClientFileManager.h"

#include <windows.h>

#include <climits>
#include <cwchar>
#include <memory>
#include <utility>

namespace {

const wchar_t kDefaultStatusName[] = L"NorvaneStatus.xml";
const wchar_t kRootName[] = L"Configuration";
// The file holds a handful of short lines; anything larger is not a status file.
const DWORD kSizeLimit = 64 * 1024;
const DWORD kChunkSize = 1024;

std::wstring StatusPath()
{
    const std::wstring name = Common::FieldText(g_configRecord.statusFileName);
    return Common::ModuleFolder() + (name.empty() ? std::wstring(kDefaultStatusName) : name);
}

std::unique_ptr<PermissionManager::IClientFileManager> FileBackEnd()
{
    return std::unique_ptr<PermissionManager::IClientFileManager>(PermissionManager::CreateFileManager());
}

// Like the C library's atoi, but bounded to 32 bits on every compiler.
int32_t DecimalValue(const std::wstring& text)
{
    const long long value = std::wcstoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
}

// Values read back through the DOM arrive unescaped; written raw, a "&" or "<" in a version
// or a password would make the next start refuse the whole file.
std::wstring Escaped(const std::wstring& value)
{
    std::wstring result;
    result.reserve(value.size());
    for (const wchar_t unit : value) {
        if (unit == L'&')
            result += L"&amp;";
        else if (unit == L'<')
            result += L"&lt;";
        else if (unit == L'>')
            result += L"&gt;";
        else
            result += unit;
    }
    return result;
}

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring FromAnsi(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    return text;
}

// Each line is converted on its own, at its full length: the values are short, but a long
// one is written whole rather than cut.
class StatusWriter {
public:
    explicit StatusWriter(PermissionManager::IClientFileManager& file) : file_(file) {}

    void Line(const std::wstring& text)
    {
        const std::string bytes = ToAnsi(text + L"\r\n");
        file_.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    void Element(const wchar_t* name, const std::wstring& value)
    {
        Line(L"\t<" + std::wstring(name) + L">" + Escaped(value) + L"</" + name + L">");
    }

    void ElementIfGiven(const wchar_t* name, const std::wstring& value)
    {
        if (!value.empty())
            Element(name, value);
    }

private:
    PermissionManager::IClientFileManager& file_;
};

Common::ComPtr<IXMLDOMNode> Value(IXMLDOMNode* document, const wchar_t* name)
{
    return Common::SelectNode(document, std::wstring(kRootName) + L"/" + name);
}

// A missing element leaves the field as it is.
void ReadText(IXMLDOMNode* document, const wchar_t* name, std::wstring& field)
{
    const Common::ComPtr<IXMLDOMNode> node = Value(document, name);
    if (node)
        field = Common::NodeText(node.Get());
}

} // namespace

StatusFile::StatusFile()
    : StatusFile(StatusPath(), g_configRecord.checkFrequency, g_configRecord.noRepromptDeclined)
{
}

StatusFile::StatusFile(std::wstring path, int32_t checkFrequency, int32_t noRepromptDeclined)
    : path_(std::move(path)), checkFrequency_(checkFrequency), noRepromptDeclined_(noRepromptDeclined)
{
}

StatusFile::~StatusFile()
{
    if (writeAtExit_ && g_runSettings.runMode != Test)
        WriteStatus();
}

bool StatusFile::ReadStatus()
{
    if (g_runSettings.runMode == Test)
        return true;
    writeAtExit_ = true;
    if (FileBackEnd()->GetAttributes(path_) == INVALID_FILE_ATTRIBUTES)
        return true;

    std::wstring text;
    static const wchar_t* const progIds[] = {L"Microsoft.XMLDOM", L"MSXML2.DOMDocument"};
    const Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(progIds, 2);
    if (!ReadFileText(text) || !document || !Common::LoadXmlText(document.Get(), text)) {
        g_log.Item(L"Unable to read config file", path_);
        return false;
    }
    ReadValues(document.Get());

    if (numExecutions_ < checkFrequency_)
        return false;
    numExecutions_ = 0;
    return true;
}

bool StatusFile::ReadFileText(std::wstring& text) const
{
    const std::unique_ptr<PermissionManager::IClientFileManager> file = FileBackEnd();
    if (!file->Open(path_, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL))
        return false;
    // Converted as a whole, so that a double-byte character is never split between chunks.
    std::string bytes;
    char chunk[kChunkSize];
    DWORD count = 0;
    while ((count = file->Read(chunk, kChunkSize)) != 0) {
        bytes.append(chunk, count);
        if (bytes.size() > kSizeLimit)
            return false;
    }
    text = FromAnsi(bytes);
    return true;
}

void StatusFile::ReadValues(IXMLDOMNode* document)
{
    const Common::ComPtr<IXMLDOMNode> executions = Value(document, L"NumExecutions");
    numExecutions_ = executions ? DecimalValue(Common::NodeText(executions.Get())) : 1;
    ReadText(document, L"ApplicationVersion", currentVersion_);
    g_log.Number(L"Execution #", static_cast<unsigned long>(numExecutions_));
    g_log.Number(L"Check frequency", static_cast<unsigned long>(checkFrequency_));

    ReadText(document, L"PU", proxyUser);
    ReadText(document, L"PP", proxyPassword);
    ReadText(document, L"SU", siteUser);
    ReadText(document, L"SP", sitePassword);

    const Common::ComPtr<IXMLDOMNode> declined = Value(document, L"NoRepromptForVersion");
    if (declined) {
        // The version check then takes the declined version for the installed one and offers
        // nothing until the server has a newer one.
        currentVersion_ = Common::NodeText(declined.Get());
        g_log.Item(L"** Detected - previously cancelled update version", currentVersion_);
    }
}

void StatusFile::WriteStatus()
{
    if (numExecutions_ < INT32_MAX)
        ++numExecutions_;
    const std::unique_ptr<PermissionManager::IClientFileManager> file = FileBackEnd();
    if (!file->Open(path_, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL))
        return;
    StatusWriter writer(*file);
    writer.Line(L"<" + std::wstring(kRootName) + L">");
    writer.Element(L"NumExecutions", std::to_wstring(numExecutions_));
    writer.Element(L"CheckFrequency", std::to_wstring(checkFrequency_));
    writer.ElementIfGiven(L"ApplicationVersion", currentVersion_);
    writer.ElementIfGiven(L"PU", proxyUser);
    writer.ElementIfGiven(L"PP", proxyPassword);
    writer.ElementIfGiven(L"SU", siteUser);
    writer.ElementIfGiven(L"SP", sitePassword);
    if (WritesDeclinedVersion())
        writer.Element(L"NoRepromptForVersion", remoteVersion_);
    writer.Line(L"</" + std::wstring(kRootName) + L">");
    file->Close();
}

// Only a version the user saw offered and turned down is remembered: not when nothing was
// reached, and not when the installation was started.
bool StatusFile::WritesDeclinedVersion() const
{
    return installStarted == 0 && serverReached == 1 && noRepromptDeclined_ == 1 && !remoteVersion_.empty();
}
