#include "HTTPFileDownloader.h"

#include "common/Xml.h"
#include "core/Log.h"
#include "items/Variables.h"

#include <vector>

static_assert(HTTPFileDownloader::kRequestFlags == 0xA4403C10, "request flags");
static_assert(HTTPFileDownloader::kSecureRequestFlags == 0xA4C03C10, "secure request flags");

namespace {

const wchar_t kAgent[] = L"NorvaneAgent";
const wchar_t kAcceptHeader[] = L"Accept: */*\r\n";
// Only asked when the system's own connected state says no; never contacted otherwise.
const wchar_t kFirstProbeSite[] = L"http://www.microsoft.com";
const wchar_t kSecondProbeSite[] = L"http://www.google.com";
const DWORD kCanonicalCapacity = 1024;
const DWORD kLastModifiedBytes = 256;
const DWORD kMaxNegotiationSends = 4;

BOOL SystemConnectedState()
{
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0);
}

BOOL SystemCheckConnection(const wchar_t* url)
{
    return ::InternetCheckConnectionW(url, 0, 0);
}

ConnectivityProbe g_probe = {SystemConnectedState, SystemCheckConnection};

// Host-and-path text with `port` written behind the host part.
std::wstring InsertPort(std::wstring hostPath, const std::wstring& port)
{
    for (wchar_t& c : hostPath)
        if (c == L'\\')
            c = L'/';
    if (port.empty())
        return hostPath;
    const std::wstring::size_type scheme = hostPath.find(L"://");
    const std::wstring::size_type start = scheme == std::wstring::npos ? 0 : scheme + 3;
    const std::wstring::size_type slash = hostPath.find(L'/', start);
    if (slash == std::wstring::npos)
        return hostPath + L":" + port;
    return hostPath.substr(0, slash) + L":" + port + hostPath.substr(slash);
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring::size_type at = 0;
    while ((at = text.find(from, at)) != std::wstring::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

struct CrackedUrl {
    bool valid = false;
    std::wstring scheme;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
};

// Splits `url`; user, password and query are split off too so that they never reach the path.
CrackedUrl CrackUrl(const std::wstring& url)
{
    const DWORD length = static_cast<DWORD>(url.size() + 1);
    std::vector<wchar_t> scheme(length), host(length), user(length), password(length),
        path(length), extra(length);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszScheme = scheme.data();
    parts.dwSchemeLength = length;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = length;
    parts.lpszUserName = user.data();
    parts.dwUserNameLength = length;
    parts.lpszPassword = password.data();
    parts.dwPasswordLength = length;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = length;
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = length;
    CrackedUrl result;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts))
        return result;
    result.valid = true;
    result.scheme.assign(scheme.data(), parts.dwSchemeLength);
    result.host.assign(host.data(), parts.dwHostNameLength);
    result.port = parts.nPort;
    result.path.assign(path.data(), parts.dwUrlPathLength);
    return result;
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    return ::lstrcmpiW(a.c_str(), b) == 0;
}

bool AddAcceptHeader(HINTERNET request)
{
    return ::HttpAddRequestHeadersW(request, kAcceptHeader, static_cast<DWORD>(-1),
                                    HTTP_ADDREQ_FLAG_ADD) != FALSE;
}

bool SetTextOption(HINTERNET handle, DWORD option, const std::wstring& text)
{
    return ::InternetSetOptionW(handle, option, const_cast<wchar_t*>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1)) != FALSE;
}

bool SetCredentialOptions(HINTERNET handle, DWORD userOption, const std::wstring& user,
                          DWORD passwordOption, const std::wstring& password)
{
    const bool userSet = SetTextOption(handle, userOption, user);
    const bool passwordSet = SetTextOption(handle, passwordOption, password);
    return userSet && passwordSet;
}

// Nothing is remembered between runs yet, and no credentials dialog exists: asking the user
// counts as a refusal.
bool RememberedCredentials(std::wstring& /*user*/, std::wstring& /*password*/) { return false; }
bool RefuseCredentials(CredentialsKind, std::wstring& /*user*/, std::wstring& /*password*/)
{
    return false;
}

CredentialsPrompt g_prompt = RefuseCredentials;

void IgnoreUnknownAuthority(HINTERNET request)
{
    DWORD flags = 0;
    DWORD size = sizeof flags;
    ::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size);
    flags |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    ::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

std::wstring HttpErrorText(DWORD status)
{
    return L"HTTP Error " + std::to_wstring(static_cast<int>(status)) +
           L"\r\n\r\nThe file may be missing, the size does not match the expected size or your "
           L"server does not permit downloads with this type of extension (you can check this "
           L"by typing http://server/FileName.xxx into your browser and you may get a 404 "
           L"error).\r\nSee the log file for more details. Update will now exit.";
}

class ComError {
public:
    explicit ComError(HRESULT result) : result_(result) {}
    std::wstring Message() const { return Log::ErrorText(static_cast<DWORD>(result_)); }

private:
    HRESULT result_;
};

void ThrowIfFailed(HRESULT result)
{
    if (FAILED(result))
        throw ComError(result);
}

} // namespace

ConnectivityProbe SystemConnectivityProbe()
{
    return ConnectivityProbe{SystemConnectedState, SystemCheckConnection};
}

CredentialsPrompt SetCredentialsPrompt(CredentialsPrompt prompt)
{
    const CredentialsPrompt previous = g_prompt;
    g_prompt = prompt ? prompt : RefuseCredentials;
    return previous;
}

ConnectivityProbe SetConnectivityProbe(const ConnectivityProbe& probe)
{
    const ConnectivityProbe previous = g_probe;
    g_probe = probe;
    return previous;
}

HTTPFileDownloader::HTTPFileDownloader(const ServerEntry& entry) : IFileDownloader(entry)
{
    sessionHandle_.Reset(::InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!sessionHandle_)
        g_log.ItemError(L"InternetOpen error", ::GetLastError());
}

HTTPFileDownloader::~HTTPFileDownloader()
{
    connectionHandle_.Reset();
    requestHandle_.Reset();
    sessionHandle_.Reset();
    descriptionDocument_.Reset();
}

IXMLDOMDocument* HTTPFileDownloader::LoadDescription()
{
    if (descriptionAttempted_)
        return descriptionDocument_.Get();
    descriptionAttempted_ = 1;
    if (!CreateDocument()) {
        g_log.Heading(L"Error creating XMLDOM");
        return nullptr;
    }
    const std::wstring url = GetDescriptionUrl();
    try {
        LoadDocument(url);
    } catch (const ComError& error) {
        g_log.Line(L"");
        g_log.Item(L"Errors connecting to the internet", url);
        g_log.Line(error.Message());
    } catch (...) {
        g_log.Line(L"");
        g_log.Item(L"Errors connecting to the internet", url);
        g_log.Heading(L"An unknown error occured when connecting to the internet!");
    }
    return descriptionDocument_.Get();
}

IXMLDOMDocument* HTTPFileDownloader::CreateDocument()
{
    static const wchar_t* const kClassNames[] = {
        L"MSXML2.DOMDocument.3.0", L"MSXML2.DOMDocument", L"Microsoft.XMLDOM"};
    descriptionDocument_ = Common::CreateXmlDocument(kClassNames, 3);
    return descriptionDocument_.Get();
}

void HTTPFileDownloader::LoadDocument(const std::wstring& url)
{
    ThrowIfFailed(descriptionDocument_->put_async(VARIANT_FALSE));
    const Common::UniqueBstr source(url);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ThrowIfFailed(descriptionDocument_->load(Common::BorrowedText(source), &loaded));
    if (loaded == VARIANT_FALSE) {
        g_log.Line(L"");
        g_log.Item(L"Errors try to access", url);
        descriptionDocument_.Reset();
    }
}

BOOL HTTPFileDownloader::OpenDownloadFile(const std::wstring& fileName)
{
    if (!sessionHandle_)
        return FALSE;
    requestHandle_.Reset();
    std::wstring name = fileName;
    ReplaceAll(name, L"\\", L"/");
    ReplaceAll(name, L"//", L"/");
    if (!name.empty() && name[0] != L'/')
        name.insert(0, L"/");

    const std::wstring url = CanonicalizeUrl(GetFilesUrl() + name);
    const CrackedUrl parts = CrackUrl(url);
    // Schemes are case-insensitive: "HTTPS://" must not send plain requests to a TLS port.
    const DWORD flags = EqualsIgnoringCase(parts.scheme, L"https") ? kSecureRequestFlags
                                                                   : kRequestFlags;
    ConnectAndManageCredentials(url, entry_.filesUserName, entry_.filesPassword);
    // The negotiation asked for this very file: its answer is the download. Closing it instead
    // would make WinINet drain the whole body before the same file is asked for again.
    if (negotiationAnswered_ && requestHandle_) {
        negotiationAnswered_ = false;
        return TRUE;
    }
    requestHandle_.Reset();

    requestHandle_.Reset(::HttpOpenRequestW(connectionHandle_.Get(), L"GET", parts.path.c_str(),
                                            nullptr, nullptr, nullptr, flags, 0));
    if (!requestHandle_) {
        g_log.Item(L"HttpOpenRequest error in OpenDownloadFile", parts.path);
        return FALSE;
    }
    AddAcceptHeader(requestHandle_.Get());
    if (!::HttpSendRequestW(requestHandle_.Get(), nullptr, 0, nullptr, 0)) {
        g_log.ItemError(L"HttpSendRequest error in OpenDownloadFile", ::GetLastError());
        return FALSE;
    }
    return TRUE;
}

DWORD HTTPFileDownloader::Read(void* buffer, DWORD size)
{
    DWORD read = 0;
    if (!::InternetReadFile(requestHandle_.Get(), buffer, size, &read))
        return 0;
    return read;
}

BOOL HTTPFileDownloader::CloseDownloadFile()
{
    const BOOL wasOpen = requestHandle_.Valid();
    requestHandle_.Reset();
    return wasOpen;
}

std::wstring HTTPFileDownloader::CanonicalizeUrl(const std::wstring& url)
{
    std::vector<wchar_t> buffer(kCanonicalCapacity);
    DWORD length = kCanonicalCapacity;
    // A URL whose canonical form does not fit is used as given.
    if (!::InternetCanonicalizeUrlW(url.c_str(), buffer.data(), &length, ICU_BROWSER_MODE))
        return url;
    return std::wstring(buffer.data(), length);
}

std::wstring HTTPFileDownloader::GetDescriptionUrl()
{
    if (descriptionUrl_.empty())
        descriptionUrl_ = ExpandVariables(entry_.protocol + InsertPort(entry_.hostPath, entry_.port));
    return descriptionUrl_;
}

std::wstring HTTPFileDownloader::GetFilesUrl()
{
    if (filesUrl_.empty()) {
        std::wstring url = entry_.filesProtocol + InsertPort(entry_.filesHostPath, entry_.filesPort);
        ReplaceAll(url, L"\\", L"/");
        while (!url.empty() && url.back() == L'/')
            url.pop_back();
        filesUrl_ = ExpandVariables(url);
    }
    return filesUrl_;
}

std::wstring HTTPFileDownloader::GetErrorText()
{
    ::Sleep(500);
    if (!g_probe.connectedState()) {
        g_log.Heading(L"Internet connection lost during update.");
        return L"You appear to have lost your internet connection! This update will continue next "
               L"time an internet connection is available from the same file position.";
    }
    if (!requestHandle_)
        return HttpErrorText(0);
    const DWORD status = RequestStatus();
    std::wstring text;
    switch (status) {
    case HTTP_STATUS_OK:
        text = L"The server call succeeded, but the file is either corrupt or the server does not "
               L"permit this file to be downloaded. Ensure you can retreive the file by typing its "
               L"URL directly into your browser. Check log for file dump to diagnose error.";
        g_log.Line(text);
        return text;
    case HTTP_STATUS_DENIED:
    case HTTP_STATUS_FORBIDDEN:
        return L"Access was denied. You cannot access the given server address.";
    case HTTP_STATUS_NOT_FOUND:
        text = L"Likely error; The file does not exist on the update server!";
        g_log.Line(text);
        return text;
    case HTTP_STATUS_PROXY_AUTH_REQ:
        return L"Proxy authentication failed. Ensure that you set the correct username/password "
               L"credentials for your proxy.";
    default:
        return HttpErrorText(status);
    }
}

BOOL HTTPFileDownloader::GetFileTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    if (!requestHandle_)
        return FALSE;
    wchar_t header[kLastModifiedBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof header - sizeof(wchar_t); // room for the terminator
    if (!::HttpQueryInfoW(requestHandle_.Get(), HTTP_QUERY_LAST_MODIFIED, header, &size, nullptr))
        return FALSE;
    SYSTEMTIME systemTime;
    FILETIME fileTime;
    if (!::InternetTimeToSystemTimeW(header, &systemTime, 0) ||
        !::SystemTimeToFileTime(&systemTime, &fileTime))
        return FALSE;
    *creation = fileTime;
    *lastAccess = fileTime;
    *lastWrite = fileTime;
    return TRUE;
}

DWORD HTTPFileDownloader::GetFileSize()
{
    if (!requestHandle_)
        return 0xFFFFFFFF;
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!::HttpQueryInfoW(requestHandle_.Get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                          &length, &size, nullptr))
        return 0xFFFFFFFF;
    return length;
}

BOOL HTTPFileDownloader::Connect()
{
    if (!IsInternetAvailable()) {
        g_log.Heading(L"No internet connection. Ensure you are connected and try again.");
        return FALSE;
    }
    const BOOL result = ConnectAndManageCredentials(GetDescriptionUrl(), entry_.userName,
                                                    entry_.password);
    // The files location may need credentials of its own: the first file negotiates again.
    renegotiate_ = 1;
    requestHandle_.Reset();
    negotiationAnswered_ = false;
    return result;
}

BOOL HTTPFileDownloader::IsInternetAvailable()
{
    if (g_probe.connectedState() || g_probe.checkConnection(kFirstProbeSite) ||
        g_probe.checkConnection(kSecondProbeSite))
        return TRUE;
    g_log.Line(Log::ErrorText(::GetLastError()));
    return FALSE;
}

BOOL HTTPFileDownloader::ConnectAndManageCredentials(const std::wstring& url,
                                                     const std::wstring& userName,
                                                     const std::wstring& password)
{
    const CrackedUrl parts = CrackUrl(CanonicalizeUrl(url));
    const std::wstring key = parts.host + L":" + std::to_wstring(parts.port);
    if (key == lastServer_ && renegotiate_ == 0)
        return TRUE;
    lastServer_ = key;
    renegotiate_ = 0;
    negotiationAnswered_ = false;
    const DWORD flags = EqualsIgnoringCase(parts.scheme, L"https") ? kSecureRequestFlags
                                                                   : kRequestFlags;
    if (!OpenNegotiationRequest(parts.host, parts.port, parts.path, flags))
        return FALSE;

    bool firstWebsite = true;
    bool firstProxy = true;
    for (DWORD send = 0; send < kMaxNegotiationSends; ++send) {
        bool answered = false;
        if (!SendNegotiationRequest(answered))
            return FALSE;
        const DWORD status = RequestStatus();
        negotiationAnswered_ = answered && status != 0;
        if (send == kMaxNegotiationSends - 1)
            break; // the last answer is left to the request's reader
        const int next = AnswerStatus(status, firstWebsite, firstProxy, userName, password);
        if (next < 0)
            return FALSE;
        if (next == 0)
            break;
    }
    return TRUE;
}

bool HTTPFileDownloader::OpenNegotiationRequest(const std::wstring& host, INTERNET_PORT port,
                                                const std::wstring& path, DWORD flags)
{
    requestHandle_.Reset();
    connectionHandle_.Reset(::InternetConnectW(sessionHandle_.Get(), host.c_str(), port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connectionHandle_) {
        g_log.Item(L"Critical error", L"File server was not reachable!");
        return false;
    }
    requestHandle_.Reset(::HttpOpenRequestW(connectionHandle_.Get(), L"GET", path.c_str(), nullptr,
                                            nullptr, nullptr, flags, 0));
    if (!requestHandle_) {
        g_log.Item(L"HttpOpenRequest error in ConnectAndManageCredentials", path);
        return false;
    }
    AddAcceptHeader(requestHandle_.Get());
    return true;
}

// An unknown certificate authority is noted and the request's flags are relaxed, but the
// request is not sent again: the negotiation ends with status 0, and the transfers that follow
// carry the normal flags, so nothing is fetched from a server whose authority is not trusted.
bool HTTPFileDownloader::SendNegotiationRequest(bool& answered)
{
    answered = ::HttpSendRequestW(requestHandle_.Get(), nullptr, 0, nullptr, 0) != FALSE;
    if (answered)
        return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_INTERNET_INVALID_CA) {
        g_log.ItemError(L"HttpSendRequest error in ConnectAndManageCredentials", error);
        return false;
    }
    g_log.Item(L"Security error",
               L"There is no trust authority for the CA root certificate in the HTTPS request");
    IgnoreUnknownAuthority(requestHandle_.Get());
    return true;
}

DWORD HTTPFileDownloader::RequestStatus() const
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(requestHandle_.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          &status, &size, nullptr))
        return 0;
    return status;
}

int HTTPFileDownloader::AnswerStatus(DWORD status, bool& firstWebsite, bool& firstProxy,
                                     const std::wstring& userName, const std::wstring& password)
{
    if (status == HTTP_STATUS_DENIED)
        return AnswerWebsiteChallenge(firstWebsite, userName, password) ? 1 : -1;
    if (status == HTTP_STATUS_PROXY_AUTH_REQ)
        return AnswerProxyChallenge(firstProxy) ? 1 : -1;
    return 0;
}

bool HTTPFileDownloader::AnswerWebsiteChallenge(bool& firstWebsite, const std::wstring& userName,
                                                const std::wstring& password)
{
    if (firstWebsite) {
        firstWebsite = false;
        std::wstring user, secret;
        if (!userName.empty()) {
            websiteUserName_ = userName;
            websitePassword_ = password;
        } else if (RememberedCredentials(user, secret) && !user.empty()) {
            websiteUserName_ = user;
            websitePassword_ = secret;
        }
    } else {
        websiteUserName_.clear();
        if (!g_prompt(CredentialsKind::Website, websiteUserName_, websitePassword_) ||
            websiteUserName_.empty()) {
            g_log.Line(L"Display of website authentication window will not occur. Terminating...");
            return false;
        }
    }
    g_log.Item(L"-- Website username", websiteUserName_);
    if (!SetCredentialOptions(requestHandle_.Get(), INTERNET_OPTION_USERNAME, websiteUserName_,
                              INTERNET_OPTION_PASSWORD, websitePassword_))
        g_log.Line(L"Setting of website credentials failed!");
    return true;
}

bool HTTPFileDownloader::AnswerProxyChallenge(bool& firstProxy)
{
    std::wstring user, secret;
    if (firstProxy && RememberedCredentials(user, secret) && !user.empty()) {
        firstProxy = false;
        proxyUserName_ = user;
        proxyPassword_ = secret;
    } else if (!g_prompt(CredentialsKind::Proxy, proxyUserName_, proxyPassword_) ||
               proxyUserName_.empty()) {
        g_log.Line(L"Display of proxy window will not occur. Terminating...");
        return false;
    }
    g_log.Item(L"-- Proxy username", proxyUserName_);
    if (!SetCredentialOptions(requestHandle_.Get(), INTERNET_OPTION_PROXY_USERNAME, proxyUserName_,
                              INTERNET_OPTION_PROXY_PASSWORD, proxyPassword_))
        g_log.Line(L"Setting of proxy credentials failed!");
    return true;
}
