#include "engine/DestinationWait.h"

#include "engine/RunContext.h"

namespace vw {

namespace {

constexpr DWORD kPollMs = 500;

bool Reachable(const std::wstring& root)
{
    const DWORD attributes = GetFileAttributesW(root.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring DestinationRoot(const std::wstring& dest)
{
    if (dest.size() >= 2 && dest[1] == L':')
        return dest.substr(0, 2) + L"\\";
    if (dest.size() > 2 && dest[0] == L'\\' && dest[1] == L'\\') {
        // \\server\share\...: the share is the root.
        const size_t server = dest.find(L'\\', 2);
        if (server == std::wstring::npos || server == 2)
            return {};
        const size_t share = dest.find(L'\\', server + 1);
        if (share == server + 1)
            return {};
        return (share == std::wstring::npos ? dest : dest.substr(0, share)) + L"\\";
    }
    return {};
}

bool WaitForDestination(const RunContext& context, const std::wstring& dest, DWORD limitMs)
{
    const std::wstring root = DestinationRoot(dest);
    if (root.empty())
        return false;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (Reachable(root))
            return true;
        if (context.stopFlag.load() || GetTickCount64() - start >= limitMs)
            return false;
        Sleep(kPollMs);
    }
}

}  // namespace vw
