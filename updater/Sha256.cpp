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

}  // namespace

std::wstring FileSha256(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::wstring();
    UniqueAlgorithm algorithm;
    if (!Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return std::wstring();
    UniqueHash hash;
    if (!Succeeded(BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)))
        return std::wstring();

    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return std::wstring();
        if (read == 0)
            break;
        if (!Succeeded(BCryptHashData(hash.get(), buffer.data(), read, 0)))
            return std::wstring();
    }
    unsigned char digest[32];
    if (!Succeeded(BCryptFinishHash(hash.get(), digest, sizeof digest, 0)))
        return std::wstring();
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring text;
    for (const unsigned char byte : digest) {
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
