#include "ConfigFileParser.h"

#include "RecordFields.h"
#include "ToolError.h"
#include "Utf8Text.h"

#include <map>

namespace NorvaneTool {

namespace {

enum class Section { TopLevel, Primary, Backup };

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

std::wstring Trimmed(const std::wstring& text)
{
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsBlank(text[first]))
        ++first;
    while (end > first && IsBlank(text[end - 1]))
        --end;
    return text.substr(first, end - first);
}

std::string WithoutByteOrderMark(const std::string& text)
{
    static const char kMark[] = "\xEF\xBB\xBF";
    return text.compare(0, 3, kMark) == 0 ? text.substr(3) : text;
}

class ConfigFileParser {
public:
    ConfigRecord Parse(const std::string& text);

private:
    void ParseLine(const std::string& bytes);
    void OpenSection(const std::wstring& header);
    void SetField(const std::wstring& name, const std::wstring& value);
    bool Lookup(const std::wstring& name, std::size_t& width) const;
    StoreResult Store(const std::wstring& name, const std::wstring& value);
    std::wstring QualifiedName(const std::wstring& name) const;
    ToolError LineError(const std::wstring& message) const;

    ConfigRecord record_{};
    Section section_ = Section::TopLevel;
    int lineNumber_ = 0;
    std::map<std::wstring, int> givenOnLine_;
};

ConfigRecord ConfigFileParser::Parse(const std::string& text)
{
    const std::string body = WithoutByteOrderMark(text);
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos)
            end = body.size();
        ++lineNumber_;
        // Splitting the bytes before decoding is safe: LF never occurs inside a UTF-8 sequence,
        // and it lets an encoding error name its line.
        ParseLine(body.substr(start, end - start));
        start = end + 1;
    }
    return record_;
}

void ConfigFileParser::ParseLine(const std::string& bytes)
{
    std::wstring line;
    if (!Utf8ToWide(bytes, line))
        throw LineError(L"the text is not valid UTF-8");
    if (!line.empty() && line.back() == L'\r')
        line.pop_back();
    if (line.find(L'\0') != std::wstring::npos)
        throw LineError(L"the line contains a zero character");
    const std::wstring content = Trimmed(line);
    if (content.empty() || content[0] == L'#' || content[0] == L';')
        return;
    if (content[0] == L'[') {
        OpenSection(content);
        return;
    }
    const std::size_t equals = content.find(L'=');
    if (equals == std::wstring::npos)
        throw LineError(L"missing '=' in '" + content + L"'");
    SetField(Trimmed(content.substr(0, equals)), Trimmed(content.substr(equals + 1)));
}

void ConfigFileParser::OpenSection(const std::wstring& header)
{
    if (header == L"[primary]")
        section_ = Section::Primary;
    else if (header == L"[backup]")
        section_ = Section::Backup;
    else
        throw LineError(L"unknown section '" + header + L"'");
}

void ConfigFileParser::SetField(const std::wstring& name, const std::wstring& value)
{
    const std::wstring qualified = QualifiedName(name);
    std::size_t width = 0;
    if (!Lookup(name, width))
        throw LineError(L"unknown field '" + qualified + L"'");
    const auto given = givenOnLine_.find(qualified);
    if (given != givenOnLine_.end()) {
        throw LineError(L"field '" + qualified + L"' is given twice (first on line " +
                        std::to_wstring(given->second) + L")");
    }
    switch (Store(name, value)) {
    case StoreResult::TooLong:
        throw LineError(L"field '" + qualified + L"' is longer than its " + std::to_wstring(width - 1) +
                        L" characters");
    case StoreResult::NotAnInteger:
        throw LineError(L"field '" + qualified + L"' takes a decimal integer from -2147483648 to 2147483647, not '" +
                        value + L"'");
    case StoreResult::Stored:
        break;
    }
    givenOnLine_[qualified] = lineNumber_;
}

bool ConfigFileParser::Lookup(const std::wstring& name, std::size_t& width) const
{
    if (section_ == Section::TopLevel) {
        const TopLevelField* field = FindField(TopLevelFields(), name);
        width = field ? field->width : 0;
        return field != nullptr;
    }
    const ServerField* field = FindField(ServerFields(), name);
    width = field ? field->width : 0;
    return field != nullptr;
}

// Only called for a name that Lookup found in the current section.
StoreResult ConfigFileParser::Store(const std::wstring& name, const std::wstring& value)
{
    if (section_ == Section::TopLevel)
        return FindField(TopLevelFields(), name)->store(record_, value);
    ServerBlock& block = section_ == Section::Primary ? record_.primary : record_.backup;
    return FindField(ServerFields(), name)->store(block, value);
}

std::wstring ConfigFileParser::QualifiedName(const std::wstring& name) const
{
    switch (section_) {
    case Section::Primary:
        return L"primary." + name;
    case Section::Backup:
        return L"backup." + name;
    case Section::TopLevel:
        break;
    }
    return name;
}

ToolError ConfigFileParser::LineError(const std::wstring& message) const
{
    return ToolError(L"line " + std::to_wstring(lineNumber_) + L": " + message);
}

} // namespace

ConfigRecord ParseConfigText(const std::string& text)
{
    return ConfigFileParser().Parse(text);
}

} // namespace NorvaneTool
