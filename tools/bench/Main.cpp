// transfer_bench <host:port> <remote name> <size> <local folder>
// Transfers <remote name> from http://<host:port>/ into <local folder> once and prints the
// seconds it took; exit code 0 on success.
#include "transfer/CFileTransfer.h"
#include "transfer/HTTPFileDownloader.h"

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL Online()
{
    return TRUE;
}

BOOL OnlineCheck(const wchar_t*)
{
    return TRUE;
}

std::wstring Widen(const char* text)
{
    const std::string narrow(text);
    return std::wstring(narrow.begin(), narrow.end());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: transfer_bench <host:port> <remote name> <size> <local folder>\n");
        return 2;
    }
    SetConnectivityProbe(ConnectivityProbe{Online, OnlineCheck});
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ServerEntry entry;
    entry.protocol = L"http://";
    entry.hostPath = Widen(argv[1]) + L"/update.xml";
    const DWORD size = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    BOOL result = FALSE;
    LARGE_INTEGER frequency = {}, start = {}, end = {};
    {
        HTTPFileDownloader downloader(entry);
        CFileTransfer transfer(nullptr, true, [&downloader] { return &downloader; });
        ::QueryPerformanceFrequency(&frequency);
        ::QueryPerformanceCounter(&start);
        result = transfer.TransferFile(Widen(argv[4]), Widen(argv[2]), L"bench.bin", size, 0);
        ::QueryPerformanceCounter(&end);
    }
    ::CoUninitialize();
    std::printf("%.3f\n", static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return result ? 0 : 1;
}
