#include "DownloadRegistry.h"

#include "ItemPaths.h"
#include "NodeIterator.h"
#include "core/Log.h"
#include "permission/IClientFileManager.h"
#include "permission/StandardFileManagement.h"

#include <cwchar>
#include <memory>

namespace {

// Key paths are built as "\a\b" from the top; the root key name must come first.
std::wstring WithoutLeadingSeparators(const std::wstring& keyPath)
{
    const std::wstring::size_type start = keyPath.find_first_not_of(L" \\");
    return start == std::wstring::npos ? std::wstring() : keyPath.substr(start);
}

bool BeginsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The current user's keys are those of the user running the client, so they are never
// written by the service, whose user is another.
bool IsUserKey(const std::wstring& keyPath)
{
    return BeginsWith(keyPath, L"HKEY_CURRENT_USER") || BeginsWith(keyPath, L"HKEY_CURRENT_CONFIG");
}

std::unique_ptr<PermissionManager::IClientFileManager> SystemFileManager()
{
    using namespace PermissionManager;
    if (IsPermissionManagerActive())
        return std::unique_ptr<IClientFileManager>(CreateFileManager());
    return std::unique_ptr<IClientFileManager>(new StandardFileManagement());
}

} // namespace

std::wstring DownloadRegistry::SectionName() const
{
    return L"Registry";
}

BOOL DownloadRegistry::ParseSection(IXMLDOMNode* element, const std::wstring& keyPath)
{
    return ParseLevel(element, keyPath, 0);
}

BOOL DownloadRegistry::ParseLevel(IXMLDOMNode* element, const std::wstring& keyPath, int depth)
{
    if (depth > kMaxItemNesting) {
        LogNestingTooDeep(SectionName());
        return FALSE;
    }
    NodeIterator keys(element, L"Key");
    while (keys.Next()) {
        const std::wstring name = keys.Attribute(L"Name");
        if (name.empty())
            continue;
        if (!ParseLevel(keys.Current(), keyPath + L"\\" + name, depth + 1))
            return FALSE;
    }
    const std::wstring path = WithoutLeadingSeparators(keyPath);
    NodeIterator values(element, L"Value");
    while (values.Next()) {
        RegistryEntry entry;
        entry.keyPath = path;
        entry.action = values.Attribute(L"Action");
        entry.valueName = values.Attribute(L"Name");
        entries_.push_back(std::move(entry));
    }
    return TRUE;
}

BOOL DownloadRegistry::ProcessItems(const std::wstring&)
{
    std::unique_ptr<PermissionManager::IClientFileManager> userFiles(new PermissionManager::StandardFileManagement());
    const std::unique_ptr<PermissionManager::IClientFileManager> systemFiles = SystemFileManager();
    // A change that fails is logged and the next one still made: the files are in place by now.
    for (const RegistryEntry& entry : entries_) {
        const bool user = IsUserKey(entry.keyPath);
        PermissionManager::IClientFileManager& files = user ? *userFiles : *systemFiles;
        if (files.ApplyRegistryAction(entry.keyPath, entry.valueName, entry.action)) {
            g_log.Item(L"Updated registry", entry.keyPath);
            continue;
        }
        g_log.Item2(user ? L"Unable to update user registry" : L"Unable to update system registry",
                    entry.action + L"; " + entry.valueName, entry.keyPath);
    }
    return TRUE;
}

const std::vector<RegistryEntry>& DownloadRegistry::Entries() const
{
    return entries_;
}
