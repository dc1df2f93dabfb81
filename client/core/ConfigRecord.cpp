#include "ConfigRecord.h"

#include <windows.h>

#include <cstring>

namespace {

bool g_loadPending = true;

// Base64 value of a significant character, or -1 for one that is skipped ('=' included).
int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool IsSignificant(char c)
{
    return c == '=' || Base64Value(c) >= 0;
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

std::size_t DecodeBase64(const char* text, unsigned char* output, std::size_t capacity)
{
    const std::size_t length = std::strlen(text);
    std::size_t read = 0;
    std::size_t written = 0;
    while (read < length && written < capacity) {
        char group[4];
        int collected = 0;
        while (collected < 4 && read < length) {
            const char c = text[read++];
            if (IsSignificant(c))
                group[collected++] = c;
        }
        // A final group of fewer than four characters carries no complete byte triple;
        // it is decoded as far as its characters go, as if padded.
        for (int i = collected; i < 4; ++i)
            group[i] = '=';
        if (collected < 2)
            break;

        const unsigned v0 = static_cast<unsigned>(Base64Value(group[0]) & 63);
        const unsigned v1 = static_cast<unsigned>(Base64Value(group[1]) & 63);
        const unsigned v2 = group[2] == '=' ? 0u : static_cast<unsigned>(Base64Value(group[2]) & 63);
        const unsigned v3 = group[3] == '=' ? 0u : static_cast<unsigned>(Base64Value(group[3]) & 63);
        unsigned char bytes[3] = {
            static_cast<unsigned char>((v0 << 2) | (v1 >> 4)),
            static_cast<unsigned char>(((v1 & 15) << 4) | (v2 >> 2)),
            static_cast<unsigned char>(((v2 & 3) << 6) | v3),
        };
        std::size_t count = 3;
        if (group[3] == '=')
            count = group[2] == '=' ? 1 : 2;
        for (std::size_t i = 0; i < count && written < capacity; ++i)
            output[written++] = bytes[i];
    }
    return written;
}

std::string EncodeRecordText(const unsigned char* data, std::size_t size)
{
    std::string encoded;
    for (std::size_t i = 0; i < size; i += 3) {
        const unsigned b0 = data[i];
        const unsigned b1 = i + 1 < size ? data[i + 1] : 0u;
        const unsigned b2 = i + 2 < size ? data[i + 2] : 0u;
        encoded += kAlphabet[b0 >> 2];
        encoded += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        encoded += i + 1 < size ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
        encoded += i + 2 < size ? kAlphabet[b2 & 63] : '=';
    }
    std::string text;
    for (std::size_t i = 0; i < encoded.size(); i += 76) {
        if (i > 0)
            text += "\r\n";
        text += encoded.substr(i, 76);
    }
    return text;
}

void LoadConfigRecord()
{
    if (!g_loadPending)
        return;
    g_loadPending = false;

    HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(99), L"BINARY");
    if (!resource)
        return;
    HGLOBAL loaded = ::LoadResource(nullptr, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return;
    // The stored text ends with a zero byte, but the resource is outside our control: copy it
    // into a terminated buffer so that decoding cannot run past its end.
    const DWORD size = ::SizeofResource(nullptr, resource);
    std::string text(static_cast<const char*>(data), size);
    DecodeBase64(text.c_str(), reinterpret_cast<unsigned char*>(&g_configRecord), sizeof g_configRecord);
}
