#include "RecordPrinter.h"

#include "RecordFields.h"

namespace NorvaneTool {

namespace {

const wchar_t kLineEnd[] = L"\r\n";

template <typename Block>
void AppendFields(std::wstring& text, const std::vector<BlockField<Block>>& fields, const Block& block)
{
    for (const BlockField<Block>& field : fields) {
        const std::wstring value = field.read(block);
        text += field.name;
        // No trailing blank after an empty value: it would be trimmed away anyway.
        text += value.empty() ? L" =" : L" = " + value;
        text += kLineEnd;
    }
}

void AppendServer(std::wstring& text, const wchar_t* header, const ServerBlock& block)
{
    text += kLineEnd;
    text += header;
    text += kLineEnd;
    AppendFields(text, ServerFields(), block);
}

} // namespace

std::wstring FormatRecordText(const ConfigRecord& record)
{
    std::wstring text;
    AppendFields(text, TopLevelFields(), record);
    AppendServer(text, L"[primary]", record.primary);
    AppendServer(text, L"[backup]", record.backup);
    return text;
}

} // namespace NorvaneTool
