#pragma once
// Signs manifests with the test key (tests/keys), whose public half the test build trusts, as the
// vendor signs a release's manifest with its own key.
#include <string>
#include <string_view>

namespace vwtest {

// Base64 text of the signature r‖s over the SHA-256 of `message`; empty when signing failed.
std::string SignWithTestKey(std::string_view message);
// Writes `path` + ".sig" for the file at `path` as it is now.
bool SignFileWithTestKey(const std::wstring& path);

// The SHA-256 of `content` as a manifest lists it: 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view content);

// The test key's public half, as TrustedUpdateKey gives it (base64 of its DER).
std::string TestPublicKey();

}  // namespace vwtest
