#include "UpdateDescription.h"

#include "ConfigRecord.h"
#include "FileVersion.h"
#include "Log.h"
#include "Norvane.h"
#include "RunSettings.h"
#include "ScreenTexts.h"
#include "SecureCode.h"
#include "StatusFile.h"
#include "common/FixedText.h"
#include "common/Xml.h"
#include "items/DownloadFile.h"
#include "items/UpdateItems.h"
#include "items/Variables.h"
#include "transfer/ServerSelection.h"

#include <cwchar>
#include <new>
#include <string>

namespace {

// Raised for a failing DOM call; the description is then refused with its message.
class XmlError {
public:
    explicit XmlError(HRESULT result) : result_(result) {}
    std::wstring Description() const { return Log::ErrorText(static_cast<DWORD>(result_)); }

private:
    HRESULT result_;
};

void ThrowIfFailed(HRESULT result)
{
    if (FAILED(result))
        throw XmlError(result);
}

Common::ComPtr<IXMLDOMElement> RootElement(IXMLDOMDocument* document)
{
    Common::ComPtr<IXMLDOMElement> root;
    ThrowIfFailed(document->get_documentElement(root.Address()));
    return root;
}

std::wstring Formatted(const wchar_t* format, const std::wstring& a, const std::wstring& b = std::wstring(),
                       const std::wstring& c = std::wstring())
{
    std::wstring text(format);
    const std::wstring values[] = {a, b, c};
    std::wstring::size_type at = 0;
    for (const std::wstring& value : values) {
        at = text.find(L"%s", at);
        if (at == std::wstring::npos)
            break;
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

bool Contains(const std::wstring& text, const wchar_t* part)
{
    return text.find(part) != std::wstring::npos;
}

bool SameIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

// Whatever the server sent instead of a description, such as an error page, shortened.
std::wstring DocumentTextStart(IXMLDOMDocument* document)
{
    std::wstring text = Common::NodeText(document);
    if (text.size() > 256)
        text.resize(256);
    return text;
}

} // namespace

bool UpdateDescription::Load()
{
    static bool attempted = false;
    static bool result = false;
    if (!attempted) {
        attempted = true;
        result = LoadOnce();
    }
    return result;
}

bool UpdateDescription::LoadOnce()
{
    try {
        return g_runSettings.runMode == Test ? LoadLocal() : LoadFromServer();
    } catch (const XmlError& error) {
        g_log.Item(L"Error processing XML", error.Description());
    } catch (...) {
        g_log.Line(L"Unknown error: XML Server cannot be contacted!");
    }
    return false;
}

bool UpdateDescription::LoadFromServer()
{
    Norvane& session = Norvane::Instance();
    int32_t available = 0;
    IFileDownloader* downloader = SelectServer(available);
    if (!downloader) {
        session.AbandonUpdate();
        return false;
    }
    IXMLDOMDocument* document = downloader->LoadDescription();
    if (!document) {
        g_log.Line(L"Unable to load XML configuration. Check that file exists on server (paste address into "
                   L"IE or explorer).");
        session.AbandonUpdate();
        return false;
    }
    session.MarkDescriptionLoaded();
    return ProcessDescription(document);
}

bool UpdateDescription::LoadLocal()
{
    Norvane& session = Norvane::Instance();
    Common::ComPtr<IXMLDOMDocument> document = Common::CreateXmlDocument(L"Microsoft.XMLDOM");
    if (!document) {
        g_log.Heading(L"Error creating XMLDOM");
        return false;
    }
    if (!Common::LoadXml(document.Get(), session.LocalDescriptionPath()))
        return false;
    session.MarkDescriptionLoaded();
    return ProcessDescription(document.Get());
}

bool UpdateDescription::ProcessDescription(IXMLDOMDocument* document)
{
    try {
        const Common::ComPtr<IXMLDOMNode> root = Common::SelectNode(document, L"Norvane");
        if (!root)
            return RejectMissingRoot(document);
        if (!CheckSecureCode(document))
            return false;
        if (Common::SelectNode(document, L"Norvane/UpdateVersion") && !IsUpdateNewer(root.Get())) {
            ReadScreenTexts(root.Get());
            return false;
        }
        if (g_runSettings.runMode != Test) {
            g_log.Heading(L"Processing...");
            g_updateItems.ParseAllSections(document);
        }
        ReadScreenTexts(root.Get());
        return !g_updateItems.FileList().Entries().empty();
    } catch (const XmlError& error) {
        g_log.Item(L"Error processing XML", error.Description());
    } catch (...) {
        g_log.Line(L"XML processing errors");
    }
    return false;
}

bool UpdateDescription::RejectMissingRoot(IXMLDOMDocument* document)
{
    g_log.Heading(L"XML update file not found or is corrupt");
    const std::wstring text = DocumentTextStart(document);
    if (text.size() > 5) {
        g_log.Line(text);
        g_log.Line(L"");
    }
    return false;
}

// The version the client believes is installed: the status file's, or with none yet the
// inbuilt one, unless the main application's own file says it is newer.
std::wstring UpdateDescription::KnownCurrentVersion()
{
    std::wstring current = g_statusFile.CurrentVersion();
    if (!current.empty() && current != L"0")
        return current;
    current = ExpandVariables(Common::FieldText(g_configRecord.inbuiltVersion));
    const std::wstring application = g_runSettings.MainApplicationName();
    if (!application.empty()) {
        const std::wstring fileVersion = FileVersionText(g_runSettings.MainApplicationPath());
        if (!fileVersion.empty() && CompareVersions(fileVersion, current) == 1) {
            g_log.Line(L"");
            g_log.Line(Formatted(L"Inbuilt version is %s, but %s version is %s.", current, application, fileVersion));
            g_log.Line(Formatted(L"Assuming current application version should be %s.", fileVersion));
            current = fileVersion;
        }
    }
    g_statusFile.SetCurrentVersion(current);
    return current;
}

bool UpdateDescription::IsUpdateNewer(IXMLDOMNode* root)
{
    const std::wstring current = KnownCurrentVersion();
    const std::wstring remote = Common::SelectedText(root, L"UpdateVersion");
    g_statusFile.SetRemoteVersion(remote);
    SetDescriptionVersions(current, remote);
    g_log.Heading(L"Checking requirement for update");
    g_log.Item(L"Current version", current);
    g_log.Item(L"Remote version ", remote);
    if (CompareVersions(remote, current) == 1)
        return true;
    g_log.Line(L"A software update is not available");
    return false;
}

bool UpdateDescription::CheckSecureCode(IXMLDOMDocument* document)
{
    const std::wstring baseText = Common::FieldText(g_configRecord.securityCode);
    const DWORD base = HexCodeValue(baseText);
    const Common::ComPtr<IXMLDOMNode> element = Common::SelectNode(document, L"Norvane/SecureCode");
    if (!element) {
        if (base == 0)
            return true;
        g_log.Heading(L"Serious error! The update client was built with a security code, but the update XML "
                      L"file does not specify the SecureCode branch. Exiting.");
        return false;
    }
    g_log.Line(L"Security code checking required");
    const std::wstring givenText = Common::NodeText(element.Get());
    const DWORD given = HexCodeValue(givenText);
    DWORD crc = 0;
    if (!CoveredTextCrc(Common::NodeXml(RootElement(document).Get()), crc)) {
        g_log.Line(L"Security code expected but not found in XML");
        return false;
    }
    if (base + crc == given) {
        g_log.Line(L"Security code detected and derived correctly");
        return true;
    }
    g_log.Heading(L"The security code of the update XML file does not match the expected value, possibly due "
                  L"to file tampering. Update will terminate.");
    g_log.Item(L"Base security code", baseText);
    g_log.Item(L"Security code", givenText);
    g_log.Number(L"Derived code", crc);
    if (g_runSettings.runMode == Test)
        ::MessageBoxW(g_progressWindow, L"The security code calculation failed unexpectedly.", L"Secure code error",
                      MB_OK | MB_ICONERROR);
    return false;
}

void UpdateDescription::ReadScreenTexts(IXMLDOMNode* root)
{
    g_screenTexts.welcome = Common::SelectedText(root, L"Welcome");
    g_screenTexts.license = Common::SelectedText(root, L"License");
    g_screenTexts.reason = Common::SelectedText(root, L"Reason");
    g_screenTexts.installComplete = Common::SelectedText(root, L"InstallComplete");
    g_screenTexts.updateNotNeeded = Common::SelectedText(root, L"UpdateNotNeeded");
    g_screenTexts.silentFinished = Common::SelectedText(root, L"SilentFinished");
    ReadUpdateType(root);
}

void UpdateDescription::ReadUpdateType(IXMLDOMNode* root)
{
    const std::wstring type = Common::SelectedText(root, L"UpdateType");
    if (Contains(type, L"Silent")) {
        if (g_runSettings.runMode != CheckNow)
            g_runSettings.uiMode = 0;
    } else if (Contains(type, L"Critical")) {
        g_runSettings.uiMode = 2;
    }
    const std::wstring restart = Common::SelectedText(root, L"Restart");
    if (SameIgnoringCase(restart, L"Automatic")) {
        g_runSettings.restartMode = 0;
    } else if (SameIgnoringCase(restart, L"No restart")) {
        g_runSettings.restartMode = 2;
    } else if (SameIgnoringCase(restart, L"Do not terminate EXE")) {
        g_runSettings.doNotTerminate = 1;
        g_runSettings.restartMode = 2;
    }
}
