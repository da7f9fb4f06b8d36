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

// Every entry below `root`, the program's own ones too, with each file's last-write time and bytes
// ("<folder>" for a folder): what a read-only pass must leave exactly as it found it.
std::map<std::wstring, std::string> TreeContents(const std::wstring& root);

// Folders only compare by presence: their times change whenever an entry is added or removed.
bool SameFiles(const Tree& a, const Tree& b, std::wstring* firstDifference = nullptr);

}  // namespace vwtest
