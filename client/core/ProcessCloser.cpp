#include "ProcessCloser.h"

#include <winternl.h>

namespace {

const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
const ULONG kSystemProcessInformation = 5;
const DWORD kOpenRights = SYNCHRONIZE | PROCESS_TERMINATE;

template <typename Function>
Function Lookup(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

std::wstring BaseName(const std::wstring& path)
{
    const std::wstring::size_type slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

// A match on the name; the process already named in `processId` is skipped.
Common::UniqueHandle OpenMatch(const std::wstring& image, DWORD id, const std::wstring& exeName, DWORD& processId)
{
    if (!SameName(BaseName(image), exeName))
        return Common::UniqueHandle();
    Common::UniqueHandle process(::OpenProcess(kOpenRights, TRUE, id));
    if (!process || id == processId)
        return Common::UniqueHandle();
    processId = id;
    return process;
}

BOOL CALLBACK PostCloseToProcessWindow(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

ProcessCloser::ProcessCloser(Enumeration enumeration)
    : kernel_(::LoadLibraryW(L"Kernel32"))
{
    if (enumeration == Enumeration::Automatic) {
        createSnapshot_ = Lookup<CreateSnapshotFn>(kernel_.Get(), "CreateToolhelp32Snapshot");
        processFirst_ = Lookup<ProcessWalkFn>(kernel_.Get(), "Process32FirstW");
        processNext_ = Lookup<ProcessWalkFn>(kernel_.Get(), "Process32NextW");
    }
    if (UsesSnapshot())
        return;
    ntdll_.Reset(::LoadLibraryW(L"ntdll.dll"));
    querySystemInformation_ = Lookup<QuerySystemInformationFn>(ntdll_.Get(), "ZwQuerySystemInformation");
    getProcessHeap_ = Lookup<GetProcessHeapFn>(kernel_.Get(), "GetProcessHeap");
    heapAlloc_ = Lookup<HeapAllocFn>(kernel_.Get(), "HeapAlloc");
    heapFree_ = Lookup<HeapFreeFn>(kernel_.Get(), "HeapFree");
}

Common::UniqueHandle ProcessCloser::FindProcess(const std::wstring& exeName, DWORD& processId)
{
    if (!kernel_)
        return Common::UniqueHandle();
    return UsesSnapshot() ? FindWithSnapshot(exeName, processId) : FindWithSystemInformation(exeName, processId);
}

Common::UniqueHandle ProcessCloser::FindWithSnapshot(const std::wstring& exeName, DWORD& processId)
{
    HANDLE snapshotHandle = createSnapshot_(TH32CS_SNAPPROCESS, 0);
    if (snapshotHandle == INVALID_HANDLE_VALUE)
        return Common::UniqueHandle();
    Common::UniqueFile snapshot(snapshotHandle);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = processFirst_(snapshot.Get(), &entry); more; more = processNext_(snapshot.Get(), &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        Common::UniqueHandle process = OpenMatch(entry.szExeFile, entry.th32ProcessID, exeName, processId);
        if (process)
            return process;
    }
    return Common::UniqueHandle();
}

// The whole process list from the native query, grown until it fits; freed by the caller.
void* ProcessCloser::QueryProcessList(HANDLE heap)
{
    ULONG size = 32768;
    for (;;) {
        void* buffer = heapAlloc_(heap, 0, size);
        if (!buffer) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        const LONG status = querySystemInformation_(kSystemProcessInformation, buffer, size, nullptr);
        if (status == 0)
            return buffer;
        heapFree_(heap, 0, buffer);
        if (status != kInfoLengthMismatch || size > 0x40000000) {
            ::SetLastError(static_cast<DWORD>(status));
            return nullptr;
        }
        size *= 2;
    }
}

Common::UniqueHandle ProcessCloser::FindWithSystemInformation(const std::wstring& exeName, DWORD& processId)
{
    if (!querySystemInformation_ || !getProcessHeap_ || !heapAlloc_ || !heapFree_)
        return Common::UniqueHandle();
    const HANDLE heap = getProcessHeap_();
    void* list = QueryProcessList(heap);
    if (!list)
        return Common::UniqueHandle();

    Common::UniqueHandle found;
    const unsigned char* at = static_cast<const unsigned char*>(list);
    for (;;) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(at);
        const std::wstring image = entry->ImageName.Buffer
            ? std::wstring(entry->ImageName.Buffer, entry->ImageName.Length / sizeof(wchar_t))
            : std::wstring(L"Idle");
        const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId));
        found = OpenMatch(image, id, exeName, processId);
        if (found || entry->NextEntryOffset == 0)
            break;
        at += entry->NextEntryOffset;
    }
    heapFree_(heap, 0, list);
    return found;
}

bool ProcessCloser::CloseProcess(const std::wstring& exeName, bool waitFirst, DWORD excludedId, DWORD timeoutMs)
{
    DWORD processId = 0;
    Common::UniqueHandle process = FindProcess(exeName, processId);
    if (!process || processId == excludedId)
        return false;
    if (waitFirst)
        ::WaitForSingleObject(process.Get(), INFINITE);
    ::EnumWindows(PostCloseToProcessWindow, static_cast<LPARAM>(processId));
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 0);
    return true;
}
