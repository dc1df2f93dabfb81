#pragma once
// Everything an update consists of: the five item sections of the update description.
#include "DownloadExecute.h"
#include "DownloadFile.h"
#include "DownloadRegistry.h"
#include "DownloadService.h"
#include "DownloadShortcut.h"

#include <msxml2.h>

#include <string>

class UpdateItems {
public:
    // Reads every item section the document has, each independently of the others' outcome.
    BOOL ParseAllSections(IXMLDOMDocument* document);
    // Runs the executions and then the services of `phase`; succeeds when either succeeds.
    BOOL RunPhase(const std::wstring& phase);
    // Installs files and shortcuts and, when both succeeded, applies the registry changes;
    // the result is that of the files.
    BOOL InstallUpdate();

    DownloadFile& FileList();
    DownloadExecute& Executions();
    DownloadService& Services();
    DownloadRegistry& Registry();
    DownloadShortcut& Shortcuts();

private:
    // Declared in the order the sections are read.
    DownloadFile fileList_;
    DownloadExecute executions_;
    DownloadService services_;
    DownloadRegistry registry_;
    DownloadShortcut shortcuts_;
};

extern UpdateItems g_updateItems;
