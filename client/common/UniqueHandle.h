#pragma once
// Move-only owners of Windows handles, one per handle kind.
#include <windows.h>

namespace Common {

template <typename Traits>
class UniqueHandleOf {
public:
    using Handle = typename Traits::Handle;

    UniqueHandleOf() noexcept : handle_(Traits::Invalid()) {}
    explicit UniqueHandleOf(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandleOf() { Reset(); }

    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : handle_(other.Release()) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    bool Valid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    Handle Release() noexcept
    {
        Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }

    void Reset(Handle handle = Traits::Invalid()) noexcept
    {
        if (Valid())
            Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_;
};

// Kernel objects that use NULL for "none" (processes, threads, events, mutexes, snapshots).
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

// Files, which use INVALID_HANDLE_VALUE for "none".
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { ::CloseHandle(handle); }
};

struct LibraryHandleTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::FreeLibrary(handle); }
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::RegCloseKey(handle); }
};

using UniqueHandle = UniqueHandleOf<KernelHandleTraits>;
using UniqueFile = UniqueHandleOf<FileHandleTraits>;
using UniqueLibrary = UniqueHandleOf<LibraryHandleTraits>;
using UniqueKey = UniqueHandleOf<RegistryKeyTraits>;

} // namespace Common
