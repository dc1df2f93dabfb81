#pragma once
// Update descriptions for the session tests: parsed with the client's own DOM, signed the way a
// publisher signs them, and the record and run settings reset around each test.
#include "common/ComPtr.h"

#include <gtest/gtest.h>
#include <msxml2.h>

#include <cstddef>
#include <string>

namespace SessionTest {

// The document of `markup`; an empty document when the markup is not well-formed.
Common::ComPtr<IXMLDOMDocument> Parse(const std::wstring& markup);

// `markup` with the text "SIGNATURE" of its SecureCode element replaced by base + the CRC of
// the covered text, as the publisher's tool computes it.
std::wstring Signed(const std::wstring& markup, unsigned long base);

// Resets what descriptions change (record security code and versions, run settings, status
// file versions) and restores it afterwards.
class DescriptionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void SetSecurityCode(const std::wstring& hex);
    void SetInbuiltVersion(const std::wstring& version);
    std::size_t mark_ = 0;
};

} // namespace SessionTest
