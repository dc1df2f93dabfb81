#include "ToolCommands.h"

#include "ClientImage.h"
#include "ConfigFileParser.h"
#include "DescriptionSigning.h"
#include "FileBytes.h"
#include "RecordPrinter.h"
#include "RecordText.h"
#include "ResourceUpdate.h"
#include "StagedFile.h"
#include "ToolError.h"
#include "Utf8Text.h"

#include <cstring>
#include <new>

namespace NorvaneTool {

namespace {

const wchar_t kUsage[] =
    L"usage: norvanetool make-client <config> <base client.exe> <output.exe>\r\n"
    L"       norvanetool show-record <client.exe>\r\n"
    L"       norvanetool sign <description.xml> <base code>\r\n"
    L"       norvanetool verify <description.xml> <base code>\r\n"
    L"\r\n"
    L"make-client  writes a copy of the base client that carries the configuration file's record\r\n"
    L"show-record  prints the record a client carries, in the configuration file format\r\n"
    L"sign         sets the update description's SecureCode for the hexadecimal base security code\r\n"
    L"verify       checks the update description's SecureCode as a client with that base code does\r\n";

const wchar_t kErrorPrefix[] = L"norvanetool: ";

// Configuration files are a few kilobytes; anything this large is the wrong file.
const unsigned long kConfigSizeLimit = 1024 * 1024;

ToolOutcome Usage(int exitCode)
{
    ToolOutcome outcome;
    outcome.exitCode = exitCode;
    // Asked-for help is the program's output; wrong use is an error.
    if (exitCode == 0)
        outcome.output = kUsage;
    else
        outcome.errors = kUsage;
    return outcome;
}

ToolOutcome Failure(const std::wstring& message)
{
    ToolOutcome outcome;
    outcome.exitCode = 1;
    outcome.errors = kErrorPrefix + message + L"\r\n";
    return outcome;
}

// The configuration tool may store what this format cannot express: reserved bytes, text after
// a field's terminator or filling it entirely, values with surrounding blanks or line breaks.
bool ReadsBackTheSame(const std::wstring& text, const ConfigRecord& record)
{
    try {
        const ConfigRecord readBack = ParseConfigText(WideToUtf8(text));
        return std::memcmp(&readBack, &record, sizeof record) == 0;
    } catch (const ToolError&) {
        return false;
    }
}

bool IsHelpRequest(const std::wstring& word)
{
    return word == L"help" || word == L"-h" || word == L"--help" || word == L"/?";
}

ToolOutcome RunCommand(const std::vector<std::wstring>& arguments)
{
    ToolOutcome outcome;
    const std::wstring& command = arguments[0];
    if (command == L"make-client" && arguments.size() == 4)
        MakeClient(arguments[1], arguments[2], arguments[3]);
    else if (command == L"show-record" && arguments.size() == 2)
        outcome.output = ShowRecord(arguments[1]);
    else if (command == L"sign" && arguments.size() == 3)
        outcome.output = SignDescription(arguments[1], arguments[2]);
    else if (command == L"verify" && arguments.size() == 3)
        outcome.output = VerifyDescription(arguments[1], arguments[2]);
    else
        return Usage(2);
    return outcome;
}

} // namespace

ToolOutcome RunTool(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return Usage(2);
    if (arguments.size() == 1 && IsHelpRequest(arguments[0]))
        return Usage(0);
    try {
        return RunCommand(arguments);
    } catch (const ToolError& error) {
        return Failure(error.Message());
    } catch (const std::bad_alloc&) {
        return Failure(L"out of memory");
    }
}

void MakeClient(const std::wstring& configPath, const std::wstring& baseClient, const std::wstring& output)
{
    const ConfigRecord record = ParseConfigText(ReadFileBytes(configPath, kConfigSizeLimit));
    const WORD language = ClientImage(baseClient).RecordLanguage();

    StagedFile staged(output);
    if (!::CopyFileW(baseClient.c_str(), staged.Path().c_str(), FALSE))
        throw ToolError::FromSystem(L"cannot copy '" + baseClient + L"'", ::GetLastError());
    // The copy takes over a read-only attribute, which would refuse the resource update.
    ::SetFileAttributesW(staged.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        ResourceUpdate update(staged.Path());
        update.Replace(L"BINARY", MAKEINTRESOURCEW(99), language, RecordResourceData(record));
        update.Commit();
    }
    staged.PutInPlace();
}

std::wstring ShowRecord(const std::wstring& client)
{
    std::string data;
    if (!ClientImage(client).RecordData(data))
        throw ToolError(L"'" + client + L"' carries no configuration record (resource BINARY/99)");
    ConfigRecord record{};
    const std::size_t decoded = DecodeRecordText(data, record);
    const std::wstring fields = FormatRecordText(record);
    std::wstring notes;
    if (decoded != kConfigRecordSize) {
        // Still worth printing: this is what the client itself would run with.
        notes += L"# the stored record holds " + std::to_wstring(decoded) + L" of its " +
                 std::to_wstring(kConfigRecordSize) + L" bytes; the rest reads as zero\r\n";
    }
    if (!ReadsBackTheSame(fields, record))
        notes += L"# this text does not reproduce the stored record exactly\r\n";
    return notes + fields;
}

} // namespace NorvaneTool
