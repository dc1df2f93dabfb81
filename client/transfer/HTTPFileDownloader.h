#pragma once
// Update servers reached over WinINet ("http://", "https://"): the description through the
// XML DOM's own loader, the files through GET requests preceded by an access negotiation.
#include "IFileDownloader.h"
#include "common/ComPtr.h"
#include "common/UniqueInternet.h"

#include <cstdint>
#include <string>

// The machine-level connectivity checks behind IsInternetAvailable and GetErrorText. They are
// replaceable so that the offline paths can be exercised on a machine that is online.
struct ConnectivityProbe {
    BOOL (*connectedState)();                    // InternetGetConnectedState
    BOOL (*checkConnection)(const wchar_t* url); // InternetCheckConnection, flags 0
};

// The WinINet checks.
ConnectivityProbe SystemConnectivityProbe();
// Installs `probe` for every downloader of the process; returns the one it replaces.
ConnectivityProbe SetConnectivityProbe(const ConnectivityProbe& probe);

// Asks the user for the credentials of a website or proxy; false when the user declines.
// Until the credentials dialog exists the prompt refuses; tests install their own answers.
enum class CredentialsKind { Website, Proxy };
using CredentialsPrompt = bool (*)(CredentialsKind kind, std::wstring& user, std::wstring& password);
// Installs `prompt` (null restores the refusal) for every downloader; returns the one it replaces.
CredentialsPrompt SetCredentialsPrompt(CredentialsPrompt prompt);

class HTTPFileDownloader : public IFileDownloader {
public:
    explicit HTTPFileDownloader(const ServerEntry& entry);
    ~HTTPFileDownloader() override;

    IXMLDOMDocument* LoadDescription() override;
    BOOL OpenDownloadFile(const std::wstring& fileName) override;
    DWORD Read(void* buffer, DWORD size) override;
    BOOL CloseDownloadFile() override;
    std::wstring CanonicalizeUrl(const std::wstring& url) override;
    std::wstring GetDescriptionUrl() override;
    std::wstring GetFilesUrl() override;
    std::wstring GetErrorText() override;
    BOOL GetFileTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) override;
    DWORD GetFileSize() override;
    BOOL Connect() override;
    BOOL IsInternetAvailable() override;

    // Request flags of every GET; the secure variant is used for "https".
    static constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
        INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
        INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
        INTERNET_FLAG_RESYNCHRONIZE | INTERNET_FLAG_HYPERLINK | INTERNET_FLAG_NEED_FILE;
    static constexpr DWORD kSecureRequestFlags = kRequestFlags | INTERNET_FLAG_SECURE;

protected:
    // Settles access to the server of `url` (host:port) once; answers 401 and 407 challenges.
    // 1 when access is settled as far as it can be, 0 on a hard failure. May leave a request open.
    BOOL ConnectAndManageCredentials(const std::wstring& url, const std::wstring& userName,
                                     const std::wstring& password);

    Common::ComPtr<IXMLDOMDocument> descriptionDocument_;
    int32_t descriptionAttempted_ = 0;
    Common::UniqueInternet sessionHandle_;
    Common::UniqueInternet requestHandle_;
    Common::UniqueInternet connectionHandle_;
    std::wstring proxyUserName_;
    std::wstring websiteUserName_;
    std::wstring proxyPassword_;
    std::wstring websitePassword_;
    std::wstring lastServer_; // "host:port" of the last negotiation
    int32_t renegotiate_ = 1;
    // The last negotiation left its request open with a server answer that can be read as is.
    bool negotiationAnswered_ = false;

private:
    bool OpenNegotiationRequest(const std::wstring& host, INTERNET_PORT port,
                                const std::wstring& path, DWORD flags);
    // 1: send again; 0: stop negotiating, access settled; -1: refused, give up.
    int AnswerStatus(DWORD status, bool& firstWebsite, bool& firstProxy,
                     const std::wstring& userName, const std::wstring& password);
    bool AnswerWebsiteChallenge(bool& firstWebsite, const std::wstring& userName,
                                const std::wstring& password);
    bool AnswerProxyChallenge(bool& firstProxy);
    bool SendNegotiationRequest(bool& answered);
    DWORD RequestStatus() const;
    IXMLDOMDocument* CreateDocument();
    void LoadDocument(const std::wstring& url);
};
