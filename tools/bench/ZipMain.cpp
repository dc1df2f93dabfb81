// zip_bench <archive> <target folder>
// Unpacks <archive> into <target folder> once with the standard file manager and prints the
// seconds it took and the result; exit code 0 when entries were extracted.
#include "permission/StandardFileManagement.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zip_bench <archive> <target folder>\n");
        return 2;
    }
    PermissionManager::StandardFileManagement files;
    LARGE_INTEGER frequency = {}, start = {}, end = {};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const LONG result = files.ExtractZip(argv[1], argv[2]);
    ::QueryPerformanceCounter(&end);
    std::printf("%.3f %ld\n", static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
                static_cast<long>(result));
    return result > 0 ? 0 : 1;
}
