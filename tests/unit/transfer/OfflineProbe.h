#pragma once
// Swaps in a connectivity probe that reports no internet connection, for one test: the machine
// stays online, only the downloaders' view of it changes.
#include "transfer/HTTPFileDownloader.h"

#include <wininet.h>

namespace TransferTest {

class OfflineProbe {
public:
    OfflineProbe() : previous_(SetConnectivityProbe(ConnectivityProbe{Offline, OfflineCheck})) {}
    ~OfflineProbe() { SetConnectivityProbe(previous_); }
    OfflineProbe(const OfflineProbe&) = delete;
    OfflineProbe& operator=(const OfflineProbe&) = delete;

private:
    static BOOL Offline()
    {
        ::SetLastError(ERROR_INTERNET_DISCONNECTED);
        return FALSE;
    }
    static BOOL OfflineCheck(const wchar_t*) { return Offline(); }

    ConnectivityProbe previous_;
};

} // namespace TransferTest
