#include "DownloadFile.h"

BOOL DownloadFile::ProcessItems(const std::wstring&)
{
    // File installation comes with the installation work.
    return FALSE;
}
