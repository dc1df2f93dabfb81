#pragma once
// Finds a running program by its executable name and makes it close.
#include "common/UniqueHandle.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>

class ProcessCloser {
public:
    // How processes are listed: the tool-help snapshot where the kernel has it, otherwise
    // the native system-information query.
    enum class Enumeration { Automatic, SystemInformation };

    explicit ProcessCloser(Enumeration enumeration = Enumeration::Automatic);
    ProcessCloser(const ProcessCloser&) = delete;
    ProcessCloser& operator=(const ProcessCloser&) = delete;

    // A handle (synchronize and terminate rights, inheritable) of a process named `exeName`,
    // skipping the one whose id is already in `processId`; its id is stored there.
    Common::UniqueHandle FindProcess(const std::wstring& exeName, DWORD& processId);

    // Asks the process's windows to close, terminating it after `timeoutMs`.
    bool CloseProcess(const std::wstring& exeName, bool waitFirst, DWORD excludedId, DWORD timeoutMs);

    bool UsesSnapshot() const { return createSnapshot_ && processFirst_ && processNext_; }

private:
    using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
    using QuerySystemInformationFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    using GetProcessHeapFn = HANDLE(WINAPI*)();
    using HeapAllocFn = void*(WINAPI*)(HANDLE, DWORD, SIZE_T);
    using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, void*);

    Common::UniqueHandle FindWithSnapshot(const std::wstring& exeName, DWORD& processId);
    Common::UniqueHandle FindWithSystemInformation(const std::wstring& exeName, DWORD& processId);
    void* QueryProcessList(HANDLE heap);

    Common::UniqueLibrary kernel_;
    CreateSnapshotFn createSnapshot_ = nullptr;
    ProcessWalkFn processFirst_ = nullptr;
    ProcessWalkFn processNext_ = nullptr;
    Common::UniqueLibrary ntdll_;
    QuerySystemInformationFn querySystemInformation_ = nullptr;
    GetProcessHeapFn getProcessHeap_ = nullptr;
    HeapAllocFn heapAlloc_ = nullptr;
    HeapFreeFn heapFree_ = nullptr;
};
