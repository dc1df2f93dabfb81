#pragma once
// The local nginx servers the transfer tests talk to; tests/servers/testservers.py starts them
// and describes them in servers.env, found through the NORVANE_SERVERS variable.
#include <windows.h>

#include <string>

namespace TransferTest {

// A value of servers.env ("HTTP_PORT", "DOC_ROOT", ...); empty when unknown.
std::wstring ServerValue(const std::wstring& key);

// Whether servers.env could be read at all.
bool ServersKnown();

// "127.0.0.1:<port>" for the servers.env key of a port.
std::wstring LocalAddress(const std::wstring& portKey);

// Lines of nginx's access log that contain `text` (format: port "request line" status).
// Waits briefly first: nginx writes the line just after the response has gone out.
unsigned AccessLogCount(const std::string& text);

// Trusts the servers' test CA in this prefix's machine ROOT store for as long as it lives.
class TrustedTestAuthority {
public:
    TrustedTestAuthority();
    ~TrustedTestAuthority();
    TrustedTestAuthority(const TrustedTestAuthority&) = delete;
    TrustedTestAuthority& operator=(const TrustedTestAuthority&) = delete;
    bool Added() const { return added_; }

private:
    bool added_;
};

} // namespace TransferTest
