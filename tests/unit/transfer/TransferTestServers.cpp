#include "TransferTestServers.h"

#include "support/TestFiles.h"

#include <wincrypt.h>

#include <map>
#include <vector>

namespace TransferTest {
namespace {

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end()); // servers.env is plain ASCII
}

std::wstring StateFolder()
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"NORVANE_SERVERS", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return value;
}

std::map<std::wstring, std::wstring> ReadServersEnv()
{
    std::map<std::wstring, std::wstring> values;
    const std::wstring folder = StateFolder();
    if (folder.empty())
        return values;
    const std::string text = TestSupport::ReadBytes(folder + L"\\servers.env");
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string::size_type equals = line.find('=');
        if (equals != std::string::npos)
            values[Widen(line.substr(0, equals))] = Widen(line.substr(equals + 1));
        start = end + 1;
    }
    return values;
}

const std::map<std::wstring, std::wstring>& ServersEnv()
{
    static const std::map<std::wstring, std::wstring> values = ReadServersEnv();
    return values;
}

const wchar_t kRootCertificates[] = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";

} // namespace

std::wstring ServerValue(const std::wstring& key)
{
    const auto found = ServersEnv().find(key);
    return found == ServersEnv().end() ? std::wstring() : found->second;
}

bool ServersKnown()
{
    return !ServerValue(L"HTTP_PORT").empty();
}

std::wstring LocalAddress(const std::wstring& portKey)
{
    return L"127.0.0.1:" + ServerValue(portKey);
}

unsigned AccessLogCount(const std::string& text)
{
    ::Sleep(150);
    const std::string log = TestSupport::ReadBytes(ServerValue(L"ACCESS_LOG"));
    unsigned count = 0;
    for (std::string::size_type at = log.find(text); at != std::string::npos;
         at = log.find(text, at + text.size()))
        ++count;
    return count;
}

TrustedTestAuthority::TrustedTestAuthority() : added_(false)
{
    const std::string der = TestSupport::ReadBytes(ServerValue(L"CA_CERT"));
    if (der.empty())
        return;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                       CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    if (store == nullptr)
        return;
    added_ = ::CertAddEncodedCertificateToStore(
                 store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    ::CertCloseStore(store, 0);
}

// Deleting through the store API does not last in this prefix; the registry key does.
TrustedTestAuthority::~TrustedTestAuthority()
{
    const std::wstring sha1 = ServerValue(L"CA_SHA1");
    if (!sha1.empty())
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kRootCertificates + sha1).c_str());
}

} // namespace TransferTest
