#pragma once
// What the client remembers between runs: starts since the last check, the installed and the
// declined version, remembered credentials. Read once near the start, written once at exit.
#include <cstdint>
#include <string>

struct IXMLDOMNode;

class StatusFile {
public:
    // From the record: the file beside the client, the check frequency, the no-reprompt switch.
    StatusFile();
    StatusFile(std::wstring path, int32_t checkFrequency, int32_t noRepromptDeclined);
    // Writes the file, but only when this process has read it (see WriteAtExit).
    ~StatusFile();
    StatusFile(const StatusFile&) = delete;
    StatusFile& operator=(const StatusFile&) = delete;

    // True when this start checks for updates.
    bool ReadStatus();
    // Creates the file anew; a file that cannot be created is silently left as it is.
    void WriteStatus();

    std::wstring CurrentVersion() const { return currentVersion_; }
    void SetCurrentVersion(const std::wstring& version) { currentVersion_ = version; }
    std::wstring RemoteVersion() const { return remoteVersion_; }
    void SetRemoteVersion(const std::wstring& version) { remoteVersion_ = version; }

    const std::wstring& Path() const { return path_; }
    int32_t NumExecutions() const { return numExecutions_; }

    int32_t serverReached = 0;  // a server answered in this run
    int32_t installStarted = 0; // the user started the installation in the wizard
    // Plain text; the writer escapes the XML markup characters, the reader's DOM undoes it.
    std::wstring proxyUser;
    std::wstring proxyPassword;
    std::wstring siteUser;
    std::wstring sitePassword;

private:
    bool ReadFileText(std::wstring& text) const;
    void ReadValues(IXMLDOMNode* document);
    bool WritesDeclinedVersion() const;

    std::wstring path_;
    std::wstring currentVersion_;
    std::wstring remoteVersion_;
    int32_t numExecutions_ = 0;
    int32_t checkFrequency_;
    int32_t noRepromptDeclined_;
    // A process that never read the file would replace the stored versions and credentials
    // with empty ones: the permission-manager role, a background check that found another
    // client running, the tool and the tests that link this object.
    bool writeAtExit_ = false;
};

extern StatusFile g_statusFile;
