#pragma once
// The update description: fetched once per run, checked against the client's security code,
// compared with the installed version, and handed to the item parsers.
#include <msxml2.h>

#include <windows.h>

#include <string>

class UpdateDescription {
public:
    // True when the description was loaded, accepted and lists at least one file to download.
    // Works once per process; later calls return the first result.
    static bool Load();

    static bool ProcessDescription(IXMLDOMDocument* document);
    static bool CheckSecureCode(IXMLDOMDocument* document);
    static void ReadScreenTexts(IXMLDOMNode* root);
    static void ReadUpdateType(IXMLDOMNode* root);

private:
    static bool LoadOnce();
    static bool LoadFromServer();
    static bool LoadLocal();
    static bool RejectMissingRoot(IXMLDOMDocument* document);
    static bool IsUpdateNewer(IXMLDOMNode* root);
    static std::wstring KnownCurrentVersion();
};
