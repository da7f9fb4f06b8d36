#include "updater/Sha256.h"

#include <windows.h>

#include <vector>

#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

// One digest, fed in pieces.
class Sha256Hasher {
public:
    Sha256Hasher()
    {
        ok_ = Succeeded(BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
              Succeeded(BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
    }
    bool Add(const void* data, ULONG size)
    {
        ok_ = ok_ && Succeeded(BCryptHashData(hash_.get(), static_cast<PUCHAR>(const_cast<void*>(data)), size, 0));
        return ok_;
    }
    std::optional<Sha256Digest> Finish()
    {
        Sha256Digest digest{};
        if (!ok_ || !Succeeded(BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0)))
            return std::nullopt;
        return digest;
    }

private:
    UniqueAlgorithm algorithm_;
    UniqueHash hash_;
    bool ok_ = false;
};

}  // namespace

std::optional<Sha256Digest> Sha256Of(std::string_view bytes)
{
    Sha256Hasher hasher;
    constexpr size_t kPiece = 1 << 30;
    for (size_t at = 0; at < bytes.size(); at += kPiece) {
        const size_t size = bytes.size() - at < kPiece ? bytes.size() - at : kPiece;
        if (!hasher.Add(bytes.data() + at, static_cast<ULONG>(size)))
            return std::nullopt;
    }
    return hasher.Finish();
}

std::wstring FileSha256(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::wstring();
    Sha256Hasher hasher;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return std::wstring();
        if (read == 0)
            break;
        if (!hasher.Add(buffer.data(), read))
            return std::wstring();
    }
    const std::optional<Sha256Digest> digest = hasher.Finish();
    if (!digest)
        return std::wstring();
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (const unsigned char byte : *digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

bool FileMatchesSha256(const std::wstring& path, const std::wstring& expected)
{
    const std::wstring actual = FileSha256(path);
    return !actual.empty() && EqualsIgnoringCase(actual, TrimWhiteSpace(expected));
}

}  // namespace vw
