#include "permission/StandardFileManagement.h"

#include "common/UniqueHandle.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using PermissionManager::StandardFileManagement;

namespace {

// Switches for the DllRegisterServer this test program exports, so that registration of a
// library that has the entry can be observed without touching any system component.
int g_registerCalls = 0;
bool g_registerThrows = false;

} // namespace

// Plain C calling convention, so that the export keeps its undecorated name without a
// module-definition file; without arguments it is called exactly like the usual STDAPI entry.
extern "C" __declspec(dllexport) HRESULT DllRegisterServer()
{
    ++g_registerCalls;
    if (g_registerThrows)
        throw std::runtime_error("registration failed");
    return S_OK;
}

namespace {

using Bytes = std::vector<unsigned char>;

std::wstring UniqueName()
{
    static unsigned counter = 0;
    return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
           std::to_wstring(++counter);
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void WriteWholeFile(const std::wstring& path, const Bytes& content)
{
    Common::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << "cannot create test file, error " << ::GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(content.empty() ||
                ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    ASSERT_EQ(content.size(), written);
}

Bytes ReadWholeFile(const std::wstring& path)
{
    Common::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    Bytes content;
    if (!file)
        return content;
    unsigned char block[1024];
    DWORD got = 0;
    while (::ReadFile(file.Get(), block, sizeof block, &got, nullptr) && got != 0)
        content.insert(content.end(), block, block + got);
    return content;
}

Bytes Text(const char* text)
{
    return Bytes(text, text + std::char_traits<char>::length(text));
}

Bytes Pattern(size_t size)
{
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>((i * 31 + 7) % 251);
    return bytes;
}

class StandardFileManagementFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
        root_ = std::wstring(temp) + L"NorvaneTest-" + UniqueName();
        ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
    }

    void TearDown() override
    {
        files_.Close();
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(root_), ignored);
    }

    std::wstring Path(const std::wstring& relative) const { return root_ + L"\\" + relative; }

    std::wstring root_;
    StandardFileManagement files_;
};

// --- Factory -----------------------------------------------------------------------------

TEST(FileManagerFactory, GivesAFreshStandardBackEndWhileNoPermissionManagerAnswers)
{
    std::unique_ptr<PermissionManager::IClientFileManager> first(PermissionManager::CreateFileManager());
    std::unique_ptr<PermissionManager::IClientFileManager> second(PermissionManager::CreateFileManager());
    EXPECT_NE(nullptr, dynamic_cast<StandardFileManagement*>(first.get()));
    EXPECT_NE(nullptr, dynamic_cast<StandardFileManagement*>(second.get()));
    EXPECT_NE(first.get(), second.get());
    EXPECT_FALSE(PermissionManager::IsPermissionManagerActive());
}

// --- Current file ------------------------------------------------------------------------

TEST_F(StandardFileManagementFiles, OpenForWritingCreatesMissingFolders)
{
    const std::wstring path = Path(L"a\\b\\c\\file.bin");
    ASSERT_TRUE(files_.Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(files_.Write("xyz", 3));
    EXPECT_TRUE(files_.Close());
    EXPECT_EQ(Text("xyz"), ReadWholeFile(path));
}

TEST_F(StandardFileManagementFiles, OpenForReadingCreatesNoFoldersAndKeepsTheOpenError)
{
    ::SetLastError(0);
    EXPECT_FALSE(files_.Open(Path(L"missing\\file.bin"), GENERIC_READ, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), ::GetLastError());
    EXPECT_FALSE(Exists(Path(L"missing")));
}

TEST_F(StandardFileManagementFiles, FailedOpenLeavesNoFileAndTheCreateFileError)
{
    const std::wstring existing = Path(L"existing.bin");
    WriteWholeFile(existing, Text("abc"));
    ASSERT_TRUE(files_.Open(existing, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));

    ::SetLastError(0);
    EXPECT_FALSE(files_.Open(Path(L"absent.bin"), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
    unsigned char buffer[8];
    EXPECT_EQ(0u, files_.Read(buffer, sizeof buffer));
    EXPECT_FALSE(files_.Close());
}

TEST_F(StandardFileManagementFiles, OpeningAnotherFileAndDestructionReleaseTheCurrentOne)
{
    const std::wstring first = Path(L"first.bin");
    const std::wstring second = Path(L"second.bin");
    {
        StandardFileManagement files;
        ASSERT_TRUE(files.Open(first, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        // The back end does not share delete access, so an open file cannot be deleted.
        ASSERT_FALSE(::DeleteFileW(first.c_str()));
        ASSERT_TRUE(files.Open(second, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        EXPECT_TRUE(::DeleteFileW(first.c_str()));
        EXPECT_FALSE(::DeleteFileW(second.c_str()));
    }
    EXPECT_TRUE(::DeleteFileW(second.c_str()));
}

TEST_F(StandardFileManagementFiles, ReadOfACreateAlwaysFileGivesNothing)
{
    const std::wstring path = Path(L"recreated.bin");
    WriteWholeFile(path, Text("old content"));
    ASSERT_TRUE(files_.Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    unsigned char buffer[16];
    EXPECT_EQ(0u, files_.Read(buffer, sizeof buffer));
    EXPECT_TRUE(files_.Close());
    EXPECT_TRUE(ReadWholeFile(path).empty());
}

TEST_F(StandardFileManagementFiles, ReadStopsAtTheSizeSeenAtOpen)
{
    const std::wstring path = Path(L"growing.bin");
    WriteWholeFile(path, Text("1234"));
    ASSERT_TRUE(files_.Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));

    Common::UniqueFile appender(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(appender.Valid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(appender.Get(), "5678", 4, &written, nullptr));

    unsigned char buffer[4] = {};
    EXPECT_EQ(4u, files_.Read(buffer, sizeof buffer));
    EXPECT_EQ(0u, files_.Read(buffer, sizeof buffer));
}

TEST_F(StandardFileManagementFiles, WrittenBytesReadBackInBlocks)
{
    const std::wstring path = Path(L"roundtrip.bin");
    const Bytes content = Pattern(10000);
    ASSERT_TRUE(files_.Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(files_.Write(content.data(), 6000));
    ASSERT_TRUE(files_.Write(content.data() + 6000, 4000));
    ASSERT_TRUE(files_.Close());

    ASSERT_TRUE(files_.Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    Bytes back;
    std::vector<DWORD> counts;
    unsigned char block[4096];
    DWORD got;
    while ((got = files_.Read(block, sizeof block)) != 0) {
        counts.push_back(got);
        back.insert(back.end(), block, block + got);
    }
    EXPECT_EQ((std::vector<DWORD>{4096, 4096, 1808}), counts);
    EXPECT_EQ(content, back);
    EXPECT_TRUE(files_.Close());
    EXPECT_FALSE(files_.Close());
}

TEST_F(StandardFileManagementFiles, ZeroCountsDoNothing)
{
    const std::wstring path = Path(L"three.bin");
    WriteWholeFile(path, Text("abc"));
    ASSERT_TRUE(files_.Open(path, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    unsigned char buffer[8] = {};
    EXPECT_EQ(0u, files_.Read(buffer, 0));
    EXPECT_EQ(3u, files_.Read(buffer, sizeof buffer));
    EXPECT_EQ(0u, files_.Read(buffer, sizeof buffer));
}

TEST(StandardFileManagementWithoutFile, OnlyAnEmptyWriteSucceeds)
{
    StandardFileManagement files;
    unsigned char buffer[4] = {};
    EXPECT_TRUE(files.Write(buffer, 0));
    EXPECT_FALSE(files.Write(buffer, sizeof buffer));
    EXPECT_EQ(0u, files.Read(buffer, sizeof buffer));
    EXPECT_FALSE(files.Close());
    const FILETIME time = {1, 1};
    files.SetTimes(&time, &time, &time);
}

TEST_F(StandardFileManagementFiles, SetTimesStampsTheCurrentFile)
{
    const std::wstring path = Path(L"stamped.bin");
    SYSTEMTIME stamp = {};
    stamp.wYear = 2004;
    stamp.wMonth = 2;
    stamp.wDay = 29;
    stamp.wHour = 13;
    FILETIME lastWrite = {};
    ASSERT_TRUE(::SystemTimeToFileTime(&stamp, &lastWrite));

    ASSERT_TRUE(files_.Open(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(files_.Write("x", 1));
    files_.SetTimes(nullptr, nullptr, &lastWrite);
    ASSERT_TRUE(files_.Close());

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(lastWrite.dwLowDateTime, data.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(lastWrite.dwHighDateTime, data.ftLastWriteTime.dwHighDateTime);
}

// --- Folders and files by path ------------------------------------------------------------

TEST_F(StandardFileManagementFiles, MakeDirectoriesCreatesEveryLevelWhateverTheTrailingBackslashes)
{
    const wchar_t* const endings[] = {L"", L"\\", L"\\\\\\"};
    int caseNumber = 0;
    for (const wchar_t* ending : endings) {
        const std::wstring folder = Path(L"case" + std::to_wstring(++caseNumber) + L"\\b\\c");
        SCOPED_TRACE(folder + ending);
        EXPECT_TRUE(files_.MakeDirectories(folder + ending));
        EXPECT_TRUE(IsFolder(folder));
        EXPECT_TRUE(files_.MakeDirectories(folder + ending)); // already there
    }
}

TEST_F(StandardFileManagementFiles, MakeDirectoriesFailsThroughAFile)
{
    WriteWholeFile(Path(L"plain.txt"), Text("x"));
    EXPECT_FALSE(files_.MakeDirectories(Path(L"plain.txt\\sub\\deeper")));
    EXPECT_FALSE(Exists(Path(L"plain.txt\\sub")));
}

TEST_F(StandardFileManagementFiles, CopyToCreatesTargetFoldersAndOverwrites)
{
    const std::wstring source = Path(L"source.txt");
    const std::wstring target = Path(L"x\\y\\copy.txt");
    WriteWholeFile(source, Text("first"));
    ASSERT_TRUE(files_.CopyTo(source, target));
    EXPECT_EQ(Text("first"), ReadWholeFile(target));

    WriteWholeFile(source, Text("second"));
    EXPECT_TRUE(files_.CopyTo(source, target));
    EXPECT_EQ(Text("second"), ReadWholeFile(target));
    EXPECT_EQ(Text("second"), ReadWholeFile(source));
}

TEST_F(StandardFileManagementFiles, CopyToOfAMissingFileFails)
{
    EXPECT_FALSE(files_.CopyTo(Path(L"absent.txt"), Path(L"copy.txt")));
    EXPECT_FALSE(Exists(Path(L"copy.txt")));
}

TEST_F(StandardFileManagementFiles, MoveToCreatesTargetFolders)
{
    const std::wstring source = Path(L"source.txt");
    const std::wstring target = Path(L"p\\q\\moved.txt");
    WriteWholeFile(source, Text("payload"));
    ASSERT_TRUE(files_.MoveTo(source, target));
    EXPECT_FALSE(Exists(source));
    EXPECT_EQ(Text("payload"), ReadWholeFile(target));
}

TEST_F(StandardFileManagementFiles, MoveToFailsWhenTheTargetExists)
{
    const std::wstring source = Path(L"source.txt");
    const std::wstring target = Path(L"target.txt");
    WriteWholeFile(source, Text("new"));
    WriteWholeFile(target, Text("old"));
    EXPECT_FALSE(files_.MoveTo(source, target));
    EXPECT_EQ(Text("new"), ReadWholeFile(source));
    EXPECT_EQ(Text("old"), ReadWholeFile(target));
}

TEST_F(StandardFileManagementFiles, RemoveFileDeletesOnlyExistingFiles)
{
    const std::wstring path = Path(L"doomed.txt");
    WriteWholeFile(path, Text("x"));
    EXPECT_TRUE(files_.RemoveFile(path));
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(files_.RemoveFile(path));
}

TEST_F(StandardFileManagementFiles, RemoveTreeDeletesAFolderWithItsContents)
{
    ASSERT_TRUE(files_.MakeDirectories(Path(L"tree\\branch\\leaf")));
    WriteWholeFile(Path(L"tree\\top.txt"), Text("1"));
    WriteWholeFile(Path(L"tree\\branch\\leaf\\deep.txt"), Text("2"));
    WriteWholeFile(Path(L"keep.txt"), Text("3"));

    EXPECT_TRUE(files_.RemoveTree(Path(L"tree")));
    EXPECT_FALSE(Exists(Path(L"tree")));
    EXPECT_TRUE(Exists(Path(L"keep.txt")));
}

TEST_F(StandardFileManagementFiles, RemoveTreeDeletesASingleFile)
{
    WriteWholeFile(Path(L"single.txt"), Text("1"));
    EXPECT_TRUE(files_.RemoveTree(Path(L"single.txt")));
    EXPECT_FALSE(Exists(Path(L"single.txt")));
}

TEST_F(StandardFileManagementFiles, RemoveTreeOfAMissingPathReportsSuccess)
{
    EXPECT_TRUE(files_.RemoveTree(Path(L"never\\there")));
    EXPECT_TRUE(IsFolder(root_));
}

TEST_F(StandardFileManagementFiles, RemoveTreeLeavesAloneWhatAnUnfitNameWouldHit)
{
    const std::wstring victim = Path(L"victim");
    ASSERT_TRUE(::CreateDirectoryW(victim.c_str(), nullptr));
    std::wstring tooLong = victim;
    while (tooLong.size() < MAX_PATH + 20)
        tooLong += L"\\."; // every cut of this still names the victim
    const std::wstring zeroSplit = victim + std::wstring(1, L'\0') + Path(L"other");

    EXPECT_TRUE(files_.RemoveTree(tooLong));
    EXPECT_TRUE(files_.RemoveTree(zeroSplit));
    EXPECT_TRUE(IsFolder(victim));
}

TEST_F(StandardFileManagementFiles, AttributesOfMissingFoldersAndFiles)
{
    EXPECT_EQ(0xFFFFFFFFu, files_.GetAttributes(Path(L"nothing")));
    EXPECT_NE(0u, files_.GetAttributes(root_) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(files_.SetAttributes(Path(L"nothing"), FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(StandardFileManagementFiles, SetAttributesIsSeenByGetAttributes)
{
    const std::wstring path = Path(L"flags.txt");
    WriteWholeFile(path, Text("f"));
    ASSERT_TRUE(files_.SetAttributes(path, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    const DWORD attributes = files_.GetAttributes(path);
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(files_.SetAttributes(path, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(0u, files_.GetAttributes(path) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

// --- COM server registration ---------------------------------------------------------------

std::wstring ThisProgram()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

TEST(StandardFileManagementRegistration, CallsTheEntryOfALibraryThatHasIt)
{
    StandardFileManagement files;
    g_registerCalls = 0;
    g_registerThrows = false;
    EXPECT_TRUE(files.RegisterComServer(ThisProgram()));
    EXPECT_EQ(1, g_registerCalls);
}

TEST(StandardFileManagementRegistration, AnEntryThatThrowsFails)
{
    StandardFileManagement files;
    g_registerCalls = 0;
    g_registerThrows = true;
    EXPECT_FALSE(files.RegisterComServer(ThisProgram()));
    g_registerThrows = false;
    EXPECT_EQ(1, g_registerCalls);
}

TEST(StandardFileManagementRegistration, ALibraryWithoutTheEntryFailsAndIsUnloaded)
{
    StandardFileManagement files;
    EXPECT_FALSE(files.RegisterComServer(L"kernel32.dll"));

    // A library this program does not use, so that its unloading can be seen.
    const wchar_t* const unused = L"msimg32.dll";
    if (::GetModuleHandleW(unused) != nullptr)
        GTEST_SKIP() << "msimg32.dll is already loaded";
    EXPECT_FALSE(files.RegisterComServer(unused));
    EXPECT_EQ(nullptr, ::GetModuleHandleW(unused));
}

TEST_F(StandardFileManagementFiles, ALibraryThatDoesNotLoadFails)
{
    EXPECT_FALSE(files_.RegisterComServer(Path(L"absent.dll")));
    WriteWholeFile(Path(L"garbage.dll"), Text("not a library"));
    EXPECT_FALSE(files_.RegisterComServer(Path(L"garbage.dll")));
}

TEST(StandardFileManagementArchives, ExtractZipIsNotAvailableYet)
{
    StandardFileManagement files;
    EXPECT_EQ(-1, files.ExtractZip(L"C:\\absent.zip", L"C:\\absent-target"));
    EXPECT_FALSE(Exists(L"C:\\absent-target"));
}

// --- Registry -----------------------------------------------------------------------------

const wchar_t kTestParent[] = L"Software\\NorvaneTest";

struct ValueRead {
    bool found;
    DWORD type;
    Bytes data;
};

ValueRead ReadValue(HKEY root, const std::wstring& subKey, const std::wstring& name)
{
    ValueRead result = {false, REG_NONE, Bytes()};
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return result;
    const Common::UniqueKey key(raw);
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &result.type, nullptr, &bytes) != ERROR_SUCCESS)
        return result;
    result.data.resize(bytes);
    result.found = ::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &result.type,
                                      bytes ? result.data.data() : nullptr, &bytes) == ERROR_SUCCESS;
    result.data.resize(bytes);
    return result;
}

Bytes StringData(const std::wstring& text)
{
    const unsigned char* first = reinterpret_cast<const unsigned char*>(text.c_str());
    return Bytes(first, first + (text.size() + 1) * sizeof(wchar_t));
}

Bytes DwordData(DWORD value)
{
    const unsigned char* first = reinterpret_cast<const unsigned char*>(&value);
    return Bytes(first, first + sizeof value);
}

bool KeyExists(HKEY root, const std::wstring& subKey)
{
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(raw);
    return true;
}

void SetValue(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type, const Bytes& data)
{
    HKEY raw = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                                               nullptr));
    const Common::UniqueKey key(raw);
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), name.c_str(), 0, type,
                                              data.empty() ? nullptr : data.data(),
                                              static_cast<DWORD>(data.size())));
}

class StandardFileManagementRegistry : public ::testing::Test {
protected:
    void SetUp() override { key_ = std::wstring(kTestParent) + L"\\" + UniqueName(); }

    void TearDown() override
    {
        ::SHDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
        ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str());
        // Only removed when no other test run still keeps keys below it.
        ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestParent);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestParent);
    }

    std::wstring UserPath(const std::wstring& relative = std::wstring()) const
    {
        return L"HKEY_CURRENT_USER\\" + Sub(relative);
    }

    std::wstring Sub(const std::wstring& relative = std::wstring()) const
    {
        return relative.empty() ? key_ : key_ + L"\\" + relative;
    }

    std::wstring key_;
    StandardFileManagement files_;
};

TEST_F(StandardFileManagementRegistry, CreateMakesTheKey)
{
    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Made\\Deeper"), L"", L"Create"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub(L"Made\\Deeper")));
}

TEST_F(StandardFileManagementRegistry, AddSetsTheValueItsTextDescribes)
{
    struct Case {
        const wchar_t* valueName;
        const wchar_t* action;
        const wchar_t* storedName;
        DWORD type;
        Bytes data;
    };
    const Case cases[] = {
        {L"(Default)", L"Add REG_SZ hello", L"", REG_SZ, StringData(L"hello")},
        {L"Text", L"Add REG_SZ hello world", L"Text", REG_SZ, StringData(L"hello world")},
        {L"Bare", L"Add REG_SZ", L"Bare", REG_SZ, StringData(L"")},
        {L"Count", L"Add REG_DWORD 42", L"Count", REG_DWORD, DwordData(42)},
        {L"NotANumber", L"Add REG_DWORD x", L"NotANumber", REG_DWORD, DwordData(0)},
        {L"Negative", L"Add REG_DWORD -1", L"Negative", REG_DWORD, DwordData(0xFFFFFFFFu)},
        {L"NoNumber", L"Add REG_DWORD", L"NoNumber", REG_DWORD, DwordData(0)},
        {L"NoType", L"Add", L"NoType", REG_DWORD, DwordData(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Added"), c.valueName, c.action));
        const ValueRead value = ReadValue(HKEY_CURRENT_USER, Sub(L"Added"), c.storedName);
        ASSERT_TRUE(value.found);
        EXPECT_EQ(c.type, value.type);
        EXPECT_EQ(c.data, value.data);
    }
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Sub(L"Added"), L"(Default)").found);
}

TEST_F(StandardFileManagementRegistry, AddOfTheDefaultValueUnderLocalMachine)
{
    EXPECT_TRUE(files_.ApplyRegistryAction(L"HKEY_LOCAL_MACHINE\\" + Sub(), L"(Default)", L"Add REG_SZ hello"));
    const ValueRead value = ReadValue(HKEY_LOCAL_MACHINE, Sub(), L"");
    ASSERT_TRUE(value.found);
    EXPECT_EQ(StringData(L"hello"), value.data);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub()));
}

TEST_F(StandardFileManagementRegistry, AKeyWithoutAKnownRootIsTakenBelowTheCurrentUser)
{
    EXPECT_TRUE(files_.ApplyRegistryAction(Sub(L"NoRoot"), L"Seven", L"Add REG_DWORD 7"));
    const ValueRead value = ReadValue(HKEY_CURRENT_USER, Sub(L"NoRoot"), L"Seven");
    ASSERT_TRUE(value.found);
    EXPECT_EQ(DwordData(7), value.data);
}

TEST_F(StandardFileManagementRegistry, DeleteRemovesOneValueAndKeepsTheKey)
{
    SetValue(HKEY_CURRENT_USER, Sub(), L"Gone", REG_DWORD, DwordData(1));
    SetValue(HKEY_CURRENT_USER, Sub(), L"Kept", REG_DWORD, DwordData(2));
    SetValue(HKEY_CURRENT_USER, Sub(), L"", REG_SZ, StringData(L"default"));

    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(), L"Gone", L"Delete"));
    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(), L"(Default)", L"Delete"));

    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Sub(), L"Gone").found);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, Sub(), L"").found);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, Sub(), L"Kept").found);
}

TEST_F(StandardFileManagementRegistry, RemoveDeletesTheKeyWithItsSubkeys)
{
    SetValue(HKEY_CURRENT_USER, Sub(L"Tree\\Branch\\Leaf"), L"V", REG_DWORD, DwordData(1));
    SetValue(HKEY_CURRENT_USER, Sub(L"Sibling"), L"V", REG_DWORD, DwordData(1));

    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Tree"), L"", L"Remove"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub(L"Tree")));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub(L"Sibling")));
}

TEST_F(StandardFileManagementRegistry, RemovingOrDeletingWhatIsMissingSucceeds)
{
    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Absent"), L"", L"Remove"));
    EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Absent"), L"Value", L"Delete"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub(L"Absent")));
}

TEST_F(StandardFileManagementRegistry, RemoveOfABareRootDeletesNothing)
{
    // The least valuable root, in case the guard against emptying a whole root ever breaks.
    const std::wstring marker = L"NorvaneTest-" + UniqueName();
    SetValue(HKEY_CURRENT_CONFIG, marker, L"Marker", REG_DWORD, DwordData(1));
    EXPECT_TRUE(files_.ApplyRegistryAction(L"HKEY_CURRENT_CONFIG", L"", L"Remove"));
    EXPECT_TRUE(files_.ApplyRegistryAction(L"HKEY_CURRENT_CONFIG\\", L"", L"Remove"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_CONFIG, marker));
    ::SHDeleteKeyW(HKEY_CURRENT_CONFIG, marker.c_str());
}

TEST_F(StandardFileManagementRegistry, UnknownActionsChangeNothing)
{
    // Action words are case-sensitive.
    const wchar_t* const actions[] = {L"Frobnicate", L"create", L"add REG_SZ x", L"", L"Creat"};
    for (const wchar_t* action : actions) {
        SCOPED_TRACE(action);
        EXPECT_TRUE(files_.ApplyRegistryAction(UserPath(L"Untouched"), L"V", action));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Sub(L"Untouched")));
    }
}

class StandardFileManagementQuery : public StandardFileManagementRegistry {
protected:
    void SetUp() override
    {
        StandardFileManagementRegistry::SetUp();
        SetValue(HKEY_CURRENT_USER, Sub(), L"Text", REG_SZ, StringData(L"hello"));
        SetValue(HKEY_CURRENT_USER, Sub(), L"Number", REG_DWORD, DwordData(42));
        SetValue(HKEY_CURRENT_USER, Sub(), L"Minus", REG_DWORD, DwordData(0xFFFFFFFFu));
        SetValue(HKEY_CURRENT_USER, Sub(), L"Blob", REG_BINARY, Text("\x01\x02\x03\x04"));
    }
};

TEST_F(StandardFileManagementQuery, GivesTheValueAsTextForTheRequestedType)
{
    struct Case {
        std::wstring valuePath;
        const wchar_t* type;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {UserPath(L"Text"), L"REG_SZ", L"hello"},
        {UserPath(L"Text"), L"REG_SZ and more", L"hello"},
        {Sub(L"Text"), L"REG_SZ", L"hello"},
        {UserPath(L"Number"), L"REG_DWORD", L"42"},
        {UserPath(L"Minus"), L"REG_DWORD", L"-1"},
        {UserPath(L"Number"), L"REG_BINARY", L""},
        {UserPath(L"Blob"), L"REG_BINARY", L""},
        {UserPath(L"Text"), L"reg_sz", L""},
        {UserPath(L"Text"), L"", L""},
        {UserPath(L"Text"), L"REG_DWORD", L""},
        {UserPath(L"Number"), L"REG_SZ", L""},
        {UserPath(L"Absent"), L"REG_SZ", L""},
        {UserPath(L"Absent"), L"REG_DWORD", L""},
        {UserPath(L"NoKey\\Text"), L"REG_SZ", L""},
        {L"Text", L"REG_SZ", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.valuePath + L" as " + c.type);
        EXPECT_EQ(std::wstring(c.expected), files_.QueryRegistryValue(c.valuePath, c.type));
    }
}

TEST_F(StandardFileManagementQuery, ADwordUnderLocalMachineAsDecimalText)
{
    SetValue(HKEY_LOCAL_MACHINE, Sub(), L"Version", REG_DWORD, DwordData(1234567));
    EXPECT_EQ(L"1234567", files_.QueryRegistryValue(L"HKEY_LOCAL_MACHINE\\" + Sub(L"Version"), L"REG_DWORD"));
}

TEST_F(StandardFileManagementQuery, StringsAreBoundedByTheirBufferAndStoredLength)
{
    const std::wstring fits(511, L'f');
    const std::wstring tooLong(600, L'l');
    SetValue(HKEY_CURRENT_USER, Sub(), L"Fits", REG_SZ, StringData(fits));
    SetValue(HKEY_CURRENT_USER, Sub(), L"TooLong", REG_SZ, StringData(tooLong));
    // Stored without its terminating zero, as some installers write strings.
    Bytes unterminated = StringData(L"abc");
    unterminated.resize(3 * sizeof(wchar_t));
    SetValue(HKEY_CURRENT_USER, Sub(), L"Unterminated", REG_SZ, unterminated);

    EXPECT_EQ(fits, files_.QueryRegistryValue(UserPath(L"Fits"), L"REG_SZ"));
    EXPECT_EQ(L"", files_.QueryRegistryValue(UserPath(L"TooLong"), L"REG_SZ"));
    EXPECT_EQ(L"abc", files_.QueryRegistryValue(UserPath(L"Unterminated"), L"REG_SZ"));
}

TEST_F(StandardFileManagementQuery, ReadsWhatAddWrote)
{
    ASSERT_TRUE(files_.ApplyRegistryAction(UserPath(), L"Written", L"Add REG_SZ round trip"));
    ASSERT_TRUE(files_.ApplyRegistryAction(UserPath(), L"Level", L"Add REG_DWORD -12"));
    EXPECT_EQ(L"round trip", files_.QueryRegistryValue(UserPath(L"Written"), L"REG_SZ"));
    EXPECT_EQ(L"-12", files_.QueryRegistryValue(UserPath(L"Level"), L"REG_DWORD"));
}

} // namespace
