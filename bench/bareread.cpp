// The least a Windows program can do to read two trees whole under Wine: walk each with
// FindFirstFileW and read every file to its end with one open, a 1 MiB buffer and nothing else.
// The benchmark measures verify (which reads both sides and compares) against this floor.
//   bareread FOLDER [FOLDER ...]
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "win/UniqueHandle.h"

namespace vw {
namespace {

constexpr DWORD kBufferSize = 1u << 20;

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
    unsigned long long failed = 0;
};

void ReadOneFile(const std::wstring& path, char* buffer, Totals& totals)
{
    UniqueFile in(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        ++totals.failed;
        return;
    }
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer, kBufferSize, &got, nullptr)) {
            ++totals.failed;
            return;
        }
        if (got == 0)
            break;
        totals.bytes += got;
    }
    ++totals.files;
}

// `folder` ends with "\".
void ReadTree(const std::wstring& folder, char* buffer, Totals& totals)
{
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ReadTree(folder + name + L"\\", buffer, totals);
        else
            ReadOneFile(folder + name, buffer, totals);
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace
}  // namespace vw

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bareread FOLDER [FOLDER ...]\n");
        return 2;
    }
    const auto buffer = std::make_unique<char[]>(vw::kBufferSize);
    int result = 0;
    for (int i = 1; i < argc; ++i) {
        std::wstring folder = argv[i];
        if (folder.back() != L'\\')
            folder += L'\\';
        vw::Totals totals;
        vw::ReadTree(folder, buffer.get(), totals);
        std::printf("%ls: %llu files, %llu bytes, %llu failed\n", argv[i], totals.files, totals.bytes, totals.failed);
        if (totals.failed > 0)
            result = 1;
    }
    return result;
}
