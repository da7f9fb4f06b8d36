#include "support/TestSigning.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "support/TestDrives.h"
#include "support/TestKeys.h"
#include "updater/Sha256.h"
#include "win/UniqueHandle.h"

namespace vwtest {

namespace {

using Bytes = std::vector<unsigned char>;

Bytes FromBase64(std::string_view text)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes bytes;
    unsigned bits = 0;
    int held = 0;
    for (const char c : text) {
        const char* at = std::strchr(kDigits, c);
        if (c == '\0' || !at)
            continue;
        bits = (bits << 6) | static_cast<unsigned>(at - kDigits);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    return bytes;
}

std::string ToBase64(const unsigned char* data, size_t size)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < size; i += 3) {
        const unsigned n = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0) | (i + 2 < size ? data[i + 2] : 0);
        text += kDigits[(n >> 18) & 63];
        text += kDigits[(n >> 12) & 63];
        text += i + 1 < size ? kDigits[(n >> 6) & 63] : '=';
        text += i + 2 < size ? kDigits[n & 63] : '=';
    }
    return text;
}

// The 32 bytes that follow `marker` in the DER.
Bytes After(const Bytes& der, std::string_view marker, size_t count)
{
    for (size_t at = 0; at + marker.size() + count <= der.size(); ++at) {
        if (std::memcmp(der.data() + at, marker.data(), marker.size()) == 0)
            return Bytes(der.begin() + at + marker.size(), der.begin() + at + marker.size() + count);
    }
    return {};
}

}  // namespace

std::string SignWithTestKey(std::string_view message)
{
    // PKCS#8 around an ECPrivateKey: version 1 and the scalar d, then the public point X‖Y.
    const Bytes der = FromBase64(kTestPrivateKey);
    const Bytes d = After(der, std::string_view("\x02\x01\x01\x04\x20", 5), 32);
    const Bytes point = After(der, std::string_view("\x03\x42\x00\x04", 4), 64);
    const auto digest = vw::Sha256Of(message);
    if (d.empty() || point.empty() || !digest)
        return std::string();
    Bytes blob(sizeof(BCRYPT_ECCKEY_BLOB));
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    blob.insert(blob.end(), point.begin(), point.end());
    blob.insert(blob.end(), d.begin(), d.end());

    vw::UniqueAlgorithm algorithm;
    vw::UniqueCryptKey key;
    if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0 ||
        BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.put(), blob.data(),
                            static_cast<ULONG>(blob.size()), 0) < 0)
        return std::string();
    unsigned char signature[64];
    ULONG size = 0;
    auto hash = *digest;
    if (BCryptSignHash(key.get(), nullptr, hash.data(), static_cast<ULONG>(hash.size()), signature, sizeof signature,
                       &size, 0) < 0 ||
        size != sizeof signature)
        return std::string();
    return ToBase64(signature, size);
}

bool SignFileWithTestKey(const std::wstring& path)
{
    const std::string signature = SignWithTestKey(ReadFileBytes(path));
    return !signature.empty() && WriteFileBytes(path + L".sig", signature + "\n");
}

std::string Sha256Hex(std::string_view content)
{
    const auto digest = vw::Sha256Of(content);
    std::string hex;
    for (const unsigned char byte : *digest) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

std::string TestPublicKey()
{
    return kTestPublicKey;
}

}  // namespace vwtest
