#include "ProcessLog.h"

#include "core/Log.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ProcessLogEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        folder_.reset(new TestSupport::ScratchFolder);
        path() = *folder_ / L"TestProgram.log";
        g_log.SetUp(path(), false);
    }

    void TearDown() override
    {
        g_log.Close();
        folder_.reset();
    }

    static std::wstring& path()
    {
        static std::wstring logPath;
        return logPath;
    }

private:
    std::unique_ptr<TestSupport::ScratchFolder> folder_;
};

::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ProcessLogEnvironment);

} // namespace

namespace TestSupport {

std::wstring LogText()
{
    const std::string bytes = TestSupport::ReadBytes(ProcessLogEnvironment::path());
    const std::size_t skip = bytes.size() >= 2 ? 2 : bytes.size();
    std::wstring text((bytes.size() - skip) / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char low = static_cast<unsigned char>(bytes[skip + 2 * i]);
        const unsigned char high = static_cast<unsigned char>(bytes[skip + 2 * i + 1]);
        text[i] = static_cast<wchar_t>(low | (high << 8));
    }
    return text;
}

std::wstring LogTextSince(std::size_t offset)
{
    const std::wstring text = LogText();
    return offset < text.size() ? text.substr(offset) : std::wstring();
}

std::size_t LogMark()
{
    return LogText().size();
}

} // namespace TestSupport
