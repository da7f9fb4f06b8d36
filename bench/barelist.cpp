// The least a Windows program can do to find out that nothing changed: list every folder of each
// tree once with FindFirstFileW/FindNextFileW. The benchmark measures a no-change backup against it.
//   barelist FOLDER [FOLDER ...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "win/UniqueHandle.h"

namespace vw {
namespace {

struct Totals {
    unsigned long long folders = 0;
    unsigned long long files = 0;
    unsigned long long bytes = 0;
};

// `folder` ends with "\".
void ListTree(const std::wstring& folder, Totals& totals)
{
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((folder + L"*").c_str(), &data));
    if (!find)
        return;
    ++totals.folders;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListTree(folder + name + L"\\", totals);
        } else {
            ++totals.files;
            totals.bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace
}  // namespace vw

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: barelist FOLDER [FOLDER ...]\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::wstring folder = argv[i];
        if (folder.back() != L'\\')
            folder += L'\\';
        vw::Totals totals;
        vw::ListTree(folder, totals);
        std::printf("%ls: %llu folders, %llu files, %llu bytes\n", argv[i], totals.folders, totals.files, totals.bytes);
    }
    return 0;
}
