#pragma once
// Reading folders: a streaming listing (one FindFirstFileW/FindNextFileW pass) and a snapshot of
// a folder's files keyed by name without regard to case, so the backup compares each source file
// with the destination's entry without asking the file system once per file.
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "win/UniqueHandle.h"

namespace vw {

// What a directory entry says about a file: all a copy decision looks at.
struct FileStamp {
    uint64_t lastWrite = 0;  // 100-ns intervals
    uint64_t size = 0;
};

FileStamp StampOf(const WIN32_FIND_DATAW& data);
// Reads one path's own directory entry; false when it does not exist.
bool ReadStamp(const std::wstring& path, FileStamp& stamp);
// The copy decision: the destination is missing, or differs in last-write time or size. On a FAT
// destination, whose times are kept in 2-second steps, times within 2 seconds count as equal.
bool StampsDiffer(const FileStamp& source, const FileStamp* dest, bool fatDestination);

// What a listing found: the folder's entries (maybe none), no folder at all, or an error that says
// nothing about what the folder holds. Only an absent folder may be read as "nothing there", and
// only where more than the listing itself says so (a vanished disk lists as absent too).
enum class ListingState { Listed, Absent, Failed };

// Walks the entries of "<folder>*.*" in file-system order, without "." and "..".
class FolderListing {
public:
    // `folder` ends with "\".
    explicit FolderListing(const std::wstring& folder);
    bool Next();
    // Once Next() has given false: the listing ended on an error (access denied, a sharing
    // violation, an I/O error, a network name gone), not at its end.
    bool Failed() const { return state_ == ListingState::Failed; }
    // The name does not exist or is not a folder; lists as empty.
    bool Absent() const { return state_ == ListingState::Absent; }
    ListingState State() const { return state_; }
    DWORD Error() const { return error_; }
    const WIN32_FIND_DATAW& Entry() const { return data_; }
    std::wstring Name() const { return data_.cFileName; }
    bool IsFolder() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

private:
    UniqueFindHandle find_;
    WIN32_FIND_DATAW data_{};
    bool first_ = true;
    ListingState state_ = ListingState::Listed;
    DWORD error_ = ERROR_SUCCESS;
};

// The entries of one folder by upper-cased name: one listing answers every question the walk
// asks about that folder.
class FolderSnapshot {
public:
    using Names = std::unordered_set<std::wstring>;  // upper-cased (FoldCase)

    struct Entry {
        FileStamp stamp;
        bool folder = false;
        std::wstring name;  // as the file system spells it

        // The stamp when the entry is a file; null for a folder.
        const FileStamp* File() const { return folder ? nullptr : &stamp; }
    };

    // The listing's state; the snapshot is empty unless it is Listed.
    ListingState Read(const std::wstring& folder, DWORD* error = nullptr);
    // The entry of a name already upper-cased (FoldCase), or null.
    const Entry* FindFolded(const std::wstring& key) const;
    // A file or a folder of that name.
    bool Contains(const std::wstring& name) const;
    bool ContainsFolder(const std::wstring& name) const;
    size_t FileCount() const;
    // Puts an entry in, replacing one of the same name: a snapshot made from a record the last
    // run left (engine/RunState.h) instead of a listing.
    void Add(Entry entry);
    // Calls visit(entry) for every entry whose name is not in `names`.
    template <typename Visit>
    void ForEachEntryMissingFrom(const Names& names, Visit visit) const
    {
        for (const auto& [key, entry] : entries_)
            if (!names.count(key))
                visit(entry);
    }
    // Calls visit(name, isFolder) for every entry whose name is not in `names`.
    template <typename Visit>
    void ForEachMissingFrom(const Names& names, Visit visit) const
    {
        ForEachEntryMissingFrom(names, [&](const Entry& entry) { visit(entry.name, entry.folder); });
    }

private:
    const Entry* Find(const std::wstring& name) const;
    std::unordered_map<std::wstring, Entry> entries_;
};

// Upper-cases a name the way file names are compared.
std::wstring FoldCase(const std::wstring& name);

}  // namespace vw
