#pragma once
// A file built beside its destination and moved onto it only when complete, so that a
// failure never leaves a partial file under the destination's name.
#include <string>

namespace NorvaneTool {

class StagedFile {
public:
    // Reserves a uniquely named empty file in the destination's folder; throws ToolError.
    explicit StagedFile(const std::wstring& destination);
    // Deletes the staged file unless it was put in place.
    ~StagedFile();

    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::wstring& Path() const { return path_; }

    // Moves the staged file onto the destination, replacing what is there.
    void PutInPlace();

private:
    std::wstring destination_;
    std::wstring path_;
};

} // namespace NorvaneTool
