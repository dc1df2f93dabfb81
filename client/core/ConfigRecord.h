#pragma once
// The deployment's read-only configuration, decoded from resource "BINARY"/99 before main runs.
#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 2)

// One update server: where the description is fetched and, optionally, where the files are.
struct ServerBlock {
    wchar_t protocol[16];
    wchar_t hostPath[256];
    wchar_t port[8];
    wchar_t userName[32];
    wchar_t password[64];
    int32_t passiveFtp;
    wchar_t filesProtocol[16];
    wchar_t filesHostPath[256];
    wchar_t filesPort[8];
    wchar_t filesUserName[32];
    wchar_t filesPassword[64];
    int32_t filesPassiveFtp;
    int32_t hasFilesLocation;
};

struct ConfigRecord {
    ServerBlock primary;
    ServerBlock backup;
    int32_t backupListed;
    wchar_t mainApplication[50];
    wchar_t applicationName[50];
    wchar_t bannerLinkUrl[50];
    wchar_t companyName[40];
    wchar_t reserved1[40];
    wchar_t companyEmail[40];
    wchar_t reserved2[16];
    wchar_t checkNowWord[24];
    wchar_t checkBackgroundWord[24];
    wchar_t securityCode[24];
    wchar_t inbuiltVersion[24];
    wchar_t logFileName[32];
    wchar_t statusFileName[32];
    int32_t loggingEnabled;
    int32_t confirmCancel;
    int32_t checkFrequency;
    int32_t noRepromptDeclined;
    int32_t launchAfterCheck;
    int32_t stayOnTop;
    int32_t deploymentNumber;
    unsigned char reserved3[10];
};

#pragma pack(pop)

constexpr std::size_t kConfigRecordSize = 3966;

static_assert(sizeof(wchar_t) == 2, "record text fields are UTF-16");
static_assert(sizeof(ServerBlock) == 1516, "server block layout");
static_assert(offsetof(ServerBlock, hostPath) == 32, "server block layout");
static_assert(offsetof(ServerBlock, port) == 544, "server block layout");
static_assert(offsetof(ServerBlock, userName) == 560, "server block layout");
static_assert(offsetof(ServerBlock, password) == 624, "server block layout");
static_assert(offsetof(ServerBlock, passiveFtp) == 752, "server block layout");
static_assert(offsetof(ServerBlock, filesProtocol) == 756, "server block layout");
static_assert(offsetof(ServerBlock, filesHostPath) == 788, "server block layout");
static_assert(offsetof(ServerBlock, filesPort) == 1300, "server block layout");
static_assert(offsetof(ServerBlock, filesUserName) == 1316, "server block layout");
static_assert(offsetof(ServerBlock, filesPassword) == 1380, "server block layout");
static_assert(offsetof(ServerBlock, filesPassiveFtp) == 1508, "server block layout");
static_assert(offsetof(ServerBlock, hasFilesLocation) == 1512, "server block layout");
static_assert(sizeof(ConfigRecord) == kConfigRecordSize, "record layout");
static_assert(offsetof(ConfigRecord, backup) == 1516, "record layout");
static_assert(offsetof(ConfigRecord, backupListed) == 3032, "record layout");
static_assert(offsetof(ConfigRecord, mainApplication) == 3036, "record layout");
static_assert(offsetof(ConfigRecord, applicationName) == 3136, "record layout");
static_assert(offsetof(ConfigRecord, bannerLinkUrl) == 3236, "record layout");
static_assert(offsetof(ConfigRecord, companyName) == 3336, "record layout");
static_assert(offsetof(ConfigRecord, companyEmail) == 3496, "record layout");
static_assert(offsetof(ConfigRecord, checkNowWord) == 3608, "record layout");
static_assert(offsetof(ConfigRecord, checkBackgroundWord) == 3656, "record layout");
static_assert(offsetof(ConfigRecord, securityCode) == 3704, "record layout");
static_assert(offsetof(ConfigRecord, inbuiltVersion) == 3752, "record layout");
static_assert(offsetof(ConfigRecord, logFileName) == 3800, "record layout");
static_assert(offsetof(ConfigRecord, statusFileName) == 3864, "record layout");
static_assert(offsetof(ConfigRecord, loggingEnabled) == 3928, "record layout");
static_assert(offsetof(ConfigRecord, launchAfterCheck) == 3944, "record layout");
static_assert(offsetof(ConfigRecord, deploymentNumber) == 3952, "record layout");
static_assert(offsetof(ConfigRecord, reserved3) == 3956, "record layout");

// The process-wide record; all zeros until loaded, and for the whole run when the resource
// is missing.
extern ConfigRecord g_configRecord;

// Decodes the record from the program's own resources; only the first call does anything.
void LoadConfigRecord();

// Decodes zero-terminated base64 text into `output`, skipping characters outside the alphabet.
// Never reads past the terminator nor writes more than `capacity` bytes; returns the bytes written.
std::size_t DecodeBase64(const char* text, unsigned char* output, std::size_t capacity);

// The text the configuration tool stores: base64 in lines of 76 characters joined by CR LF.
std::string EncodeRecordText(const unsigned char* data, std::size_t size);
