#include "support/TreeSnapshot.h"

#include <windows.h>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "support/TestDrives.h"
#include "win/UniqueHandle.h"

namespace vwtest {

namespace {

void ReadInto(Tree& tree, const std::wstring& root, const std::wstring& relative, bool skipEngineNames)
{
    WIN32_FIND_DATAW data;
    vw::UniqueFindHandle find(FindFirstFileW((root + relative + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || (skipEngineNames && relative.empty() && vw::IsSkippedName(name)))
            continue;
        TreeEntry entry;
        entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!entry.folder) {
            entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            entry.lastWrite = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                              data.ftLastWriteTime.dwLowDateTime;
        }
        tree[relative + name] = entry;
        if (entry.folder)
            ReadInto(tree, root, relative + name + L"\\", skipEngineNames);
    } while (FindNextFileW(find.get(), &data));
}

}  // namespace

Tree ReadTree(const std::wstring& root, bool skipEngineNames)
{
    Tree tree;
    ReadInto(tree, root, L"", skipEngineNames);
    return tree;
}

bool SameFiles(const Tree& a, const Tree& b, std::wstring* firstDifference)
{
    auto report = [&](const std::wstring& path) {
        if (firstDifference)
            *firstDifference = path;
        return false;
    };
    for (const auto& [path, entry] : a) {
        const auto other = b.find(path);
        if (other == b.end() || other->second.folder != entry.folder)
            return report(path);
        if (!entry.folder && !(other->second == entry))
            return report(path);
    }
    for (const auto& [path, entry] : b)
        if (!a.count(path))
            return report(path);
    return true;
}

std::map<std::wstring, std::string> TreeContents(const std::wstring& root)
{
    std::map<std::wstring, std::string> contents;
    for (const auto& [path, entry] : ReadTree(root, false))
        contents[path] = entry.folder ? std::string("<folder>")
                                      : std::to_string(entry.lastWrite) + ":" + ReadFileBytes(vw::LongPath(root + path));
    return contents;
}

}  // namespace vwtest
