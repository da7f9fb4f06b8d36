#pragma once
// Whether a manifest comes from the vendor. The vendor signs each manifest's exact bytes with its
// offline release key (ECDSA on the curve P-256, over the SHA-256 of the bytes) and publishes the
// signature beside it, at the manifest's address with ".sig" appended: base64 text of the 64 bytes
// r‖s, big-endian. The programs trust the one public key built into them and read no field of a
// manifest whose signature is missing or wrong.
#include <string>
#include <string_view>

namespace vw {

inline constexpr wchar_t kSignatureSuffix[] = L".sig";

// The public key built into this program: base64 of its DER SubjectPublicKeyInfo (the body of
// the PEM file the build was given).
std::string_view TrustedUpdateKey();

// True when `signatureText` (base64 of r‖s, blanks and line ends around it allowed) is a valid
// signature of `message` by `publicKey` (base64 of a P-256 SubjectPublicKeyInfo).
bool VerifySignature(std::string_view message, std::string_view signatureText, std::string_view publicKey);

// The manifest at `manifestPath` and its signature at `manifestPath` + ".sig", checked against the
// built-in key. False when either file is missing or unreadable or larger than a manifest can be.
bool IsSignedManifest(const std::wstring& manifestPath);

}  // namespace vw
