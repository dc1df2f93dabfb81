#include "IFileDownloader.h"

#include "HTTPFileDownloader.h"
#include "core/Log.h"
#include "items/Variables.h"

namespace {

// Expands the variables of `text` in place; the log shows every text that changed, since a
// wrongly configured variable otherwise only surfaces as an unreachable server.
void ExpandLogged(std::wstring& text)
{
    const std::wstring expanded = ExpandVariables(text);
    if (expanded == text)
        return;
    g_log.Item2(L"Transform", text, expanded);
    text = expanded;
}

// The folder part of a host path: up to its last "/", else its last "\", else all of it.
std::wstring FolderOf(const std::wstring& hostPath)
{
    std::wstring::size_type cut = hostPath.rfind(L'/');
    if (cut == std::wstring::npos)
        cut = hostPath.rfind(L'\\');
    return cut == std::wstring::npos ? hostPath : hostPath.substr(0, cut);
}

} // namespace

IFileDownloader::IFileDownloader(const ServerEntry& entry) : entry_(entry)
{
    DeriveFilesLocation();
}

void IFileDownloader::DeriveFilesLocation()
{
    if (entry_.hasFilesLocation != 0)
        return;
    entry_.filesProtocol = entry_.protocol;
    entry_.filesPort = entry_.port;
    ExpandLogged(entry_.hostPath);
    ExpandLogged(entry_.filesHostPath);
    entry_.filesHostPath = FolderOf(entry_.hostPath);
}

IFileDownloader* CreateDownloader(const std::wstring& protocol, const ServerEntry& entry)
{
    // The file-share and FTP downloaders are not part of the client yet.
    if (protocol == L"file:" || protocol == L"ftp://")
        return nullptr;
    return new HTTPFileDownloader(entry);
}
