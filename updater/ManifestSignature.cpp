#include "updater/ManifestSignature.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

#include "updater/Sha256.h"
#include "updater/UpdateManifest.h"
#include "updater/UpdatePublicKey.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

using Bytes = std::vector<unsigned char>;

// The DER of a P-256 SubjectPublicKeyInfo up to the uncompressed point's X‖Y: every such key
// starts with these bytes, so nothing else needs parsing.
constexpr unsigned char kP256KeyInfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                                0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                                0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
constexpr size_t kCoordinateBytes = 32;
constexpr size_t kSignatureBytes = 2 * kCoordinateBytes;

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Standard base64 with its padding; blanks and line ends anywhere are skipped, anything else
// that is not base64 makes the whole text invalid.
std::optional<Bytes> DecodeBase64(std::string_view text)
{
    std::string digits;
    for (const char c : text) {
        if (!IsBlank(c))
            digits += c;
    }
    if (digits.empty() || digits.size() % 4 != 0)
        return std::nullopt;
    const size_t padding = digits.size() - digits.find_last_not_of('=') - 1;
    if (padding > 2)
        return std::nullopt;
    Bytes bytes;
    unsigned bits = 0;
    int held = 0;
    for (size_t i = 0; i < digits.size() - padding; ++i) {
        const int value = Base64Value(digits[i]);
        if (value < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<unsigned char>(bits >> held));
        }
    }
    return bytes;
}

std::optional<std::string> ReadSmallFile(const std::wstring& path)
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxManifestSize)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

}  // namespace

std::string_view TrustedUpdateKey()
{
    return kUpdatePublicKey;
}

bool VerifySignature(std::string_view message, std::string_view signatureText, std::string_view publicKey)
{
    const std::optional<Bytes> keyInfo = DecodeBase64(publicKey);
    const std::optional<Bytes> signature = DecodeBase64(signatureText);
    if (!keyInfo || keyInfo->size() != sizeof kP256KeyInfoPrefix + 2 * kCoordinateBytes ||
        std::memcmp(keyInfo->data(), kP256KeyInfoPrefix, sizeof kP256KeyInfoPrefix) != 0 || !signature ||
        signature->size() != kSignatureBytes)
        return false;
    std::optional<Sha256Digest> digest = Sha256Of(message);
    if (!digest)
        return false;

    Bytes blob(sizeof(BCRYPT_ECCKEY_BLOB));
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(kCoordinateBytes)};
    std::memcpy(blob.data(), &header, sizeof header);
    blob.insert(blob.end(), keyInfo->begin() + sizeof kP256KeyInfoPrefix, keyInfo->end());

    UniqueAlgorithm algorithm;
    UniqueCryptKey key;
    if (BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0 ||
        BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(), blob.data(),
                            static_cast<ULONG>(blob.size()), 0) < 0)
        return false;
    return BCryptVerifySignature(key.get(), nullptr, digest->data(), static_cast<ULONG>(digest->size()),
                                 const_cast<unsigned char*>(signature->data()), static_cast<ULONG>(signature->size()),
                                 0) == 0;
}

bool IsSignedManifest(const std::wstring& manifestPath)
{
    const std::optional<std::string> manifest = ReadSmallFile(manifestPath);
    const std::optional<std::string> signature = ReadSmallFile(manifestPath + kSignatureSuffix);
    return manifest && signature && VerifySignature(*manifest, *signature, TrustedUpdateKey());
}

}  // namespace vw
