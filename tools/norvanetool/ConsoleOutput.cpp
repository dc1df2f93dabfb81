#include "ConsoleOutput.h"

#include "Utf8Text.h"

namespace NorvaneTool {

void WriteStream(DWORD stream, const std::wstring& text)
{
    HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    const std::string bytes = WideToUtf8(text);
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return;
        done += written;
    }
}

} // namespace NorvaneTool
