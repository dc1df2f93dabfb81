#pragma once
// The primary and backup servers' downloaders, and the once-per-process choice between them.
#include "IFileDownloader.h"

#include <cstdint>

// The downloader of the primary (1) or backup (0) server, built on first use; null for an
// unlisted backup. Building the backup destroys the primary's downloader.
IFileDownloader* BuildServerDownloader(int primary);

// The connected downloader, or null; owned here, never deleted by callers.
IFileDownloader* SelectServer(int32_t& available);

// Forgets the choice and destroys both downloaders; used when a run starts over (and by tests).
void ResetServerSelection();
