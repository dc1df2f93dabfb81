#pragma once
// Owner of WinINet handles (sessions, connections, requests), kept apart from UniqueHandle.h
// so that only the transfer code pulls in <wininet.h>.
#include "common/UniqueHandle.h"

#include <windows.h>
#include <wininet.h>

namespace Common {

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::InternetCloseHandle(handle); }
};

using UniqueInternet = UniqueHandleOf<InternetHandleTraits>;

} // namespace Common
