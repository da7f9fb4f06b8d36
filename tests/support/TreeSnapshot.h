#pragma once
// A whole folder tree as data (relative path -> size, last-write time, folder or file), to compare
// a destination with its source after a backup.
#include <cstdint>
#include <map>
#include <string>

namespace vwtest {

struct TreeEntry {
    bool folder = false;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    bool operator==(const TreeEntry&) const = default;
};

using Tree = std::map<std::wstring, TreeEntry>;

// `root` ends with "\". With `skipEngineNames`, the program's own names at a destination's top
// level ("_TEMP", "_历史文件", "_Vaultwren.ini", "$RECYCLE.BIN") are left out there.
Tree ReadTree(const std::wstring& root, bool skipEngineNames = true);

// Folders only compare by presence: their times change whenever an entry is added or removed.
bool SameFiles(const Tree& a, const Tree& b, std::wstring* firstDifference = nullptr);

}  // namespace vwtest
