// The least a Windows program can do to copy a tree under Wine: walk it with FindFirstFileW, make
// each folder, and copy each file with one open of each side, a 1 MiB buffer and its last-write
// time carried over. The benchmark measures the backup against this floor.
//   barecopy SOURCE DESTINATION            copies the whole tree
//   barecopy SOURCE DESTINATION LIST       copies only the relative paths listed (UTF-8, one a line)
#include <windows.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {
namespace {

constexpr DWORD kBufferSize = 1u << 20;

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
    unsigned long long failed = 0;
};

bool CopyOneFile(const std::wstring& source, const std::wstring& dest, char* buffer, Totals& totals)
{
    UniqueFile in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in)
        return false;
    UniqueFile out(CreateFileW(dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out)
        return false;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer, kBufferSize, &got, nullptr))
            return false;
        if (got == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer, got, &written, nullptr) || written != got)
            return false;
        totals.bytes += got;
    }
    FILETIME lastWrite;
    if (!GetFileTime(in.get(), nullptr, nullptr, &lastWrite) || !SetFileTime(out.get(), nullptr, nullptr, &lastWrite))
        return false;
    ++totals.files;
    return true;
}

// `source` and `dest` end with "\".
void CopyTree(const std::wstring& source, const std::wstring& dest, char* buffer, Totals& totals)
{
    CreateDirectoryW(dest.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((source + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(source + name + L"\\", dest + name + L"\\", buffer, totals);
        else if (!CopyOneFile(source + name, dest + name, buffer, totals))
            ++totals.failed;
    } while (FindNextFileW(find.get(), &data));
}

// The list file's whole content; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string text;
    if (!file)
        return text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    return text;
}

// Copies the listed files only; their folders are made as needed (a changed file's folder
// usually exists, an added file's may not).
void CopyListed(const std::wstring& source, const std::wstring& dest, const std::wstring& listPath, char* buffer,
                Totals& totals)
{
    std::istringstream list(ReadWholeFile(listPath));
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty())
            continue;
        std::wstring relative = Utf8ToWide(line);
        for (auto& c : relative)
            if (c == L'/')
                c = L'\\';
        const std::wstring target = dest + relative;
        if (!CopyOneFile(source + relative, target, buffer, totals)) {
            // Only a missing folder is worth a second try.
            for (size_t slash = target.find(L'\\', dest.size()); slash != std::wstring::npos;
                 slash = target.find(L'\\', slash + 1))
                CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
            if (!CopyOneFile(source + relative, target, buffer, totals))
                ++totals.failed;
        }
    }
}

std::wstring WithBackslash(std::wstring path)
{
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

}  // namespace
}  // namespace vw

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: barecopy SOURCE DESTINATION [LIST]\n");
        return 2;
    }
    const auto buffer = std::make_unique<char[]>(vw::kBufferSize);
    vw::Totals totals;
    const std::wstring source = vw::WithBackslash(argv[1]);
    const std::wstring dest = vw::WithBackslash(argv[2]);
    if (argc > 3)
        vw::CopyListed(source, dest, argv[3], buffer.get(), totals);
    else
        vw::CopyTree(source, dest, buffer.get(), totals);
    std::printf("copied %llu files, %llu bytes, %llu failed\n", totals.files, totals.bytes, totals.failed);
    return totals.failed == 0 ? 0 : 1;
}
