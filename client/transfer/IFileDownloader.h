#pragma once
// Access to one update server, whatever its protocol: the description and the update files.
#include "ServerEntry.h"
#include "common/Object.h"

#include <windows.h>
#include <msxml2.h>

#include <string>

class IFileDownloader : public Object {
public:
    explicit IFileDownloader(const ServerEntry& entry);
    virtual ~IFileDownloader() {}
    IFileDownloader(const IFileDownloader&) = delete;
    IFileDownloader& operator=(const IFileDownloader&) = delete;

    // The parsed description, or null; the downloader keeps its own reference.
    virtual IXMLDOMDocument* LoadDescription() = 0;
    // Opens `fileName` (relative to the files location, "/" or "\") for reading.
    virtual BOOL OpenDownloadFile(const std::wstring& fileName) = 0;
    // Bytes read; 0 at the end and on failure alike.
    virtual DWORD Read(void* buffer, DWORD size) = 0;
    virtual BOOL CloseDownloadFile() = 0;
    // Fills the files location from the description's when none was configured.
    virtual void DeriveFilesLocation();
    virtual std::wstring CanonicalizeUrl(const std::wstring& url) = 0;
    virtual std::wstring GetDescriptionUrl() = 0;
    virtual std::wstring GetFilesUrl() = 0;
    // The user-facing explanation of the last failure; details go to the log.
    virtual std::wstring GetErrorText() = 0;
    virtual BOOL GetFileTimes(FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) = 0;
    // 0xFFFFFFFF or 0: unknown.
    virtual DWORD GetFileSize() = 0;
    virtual BOOL Connect() = 0;
    virtual BOOL IsInternetAvailable() = 0;

    const ServerEntry& Entry() const { return entry_; }

protected:
    std::wstring descriptionUrl_; // cached on first use
    std::wstring filesUrl_;       // cached on first use
    ServerEntry entry_;
};

// A new downloader for `protocol`, owned by the caller.
IFileDownloader* CreateDownloader(const std::wstring& protocol, const ServerEntry& entry);
