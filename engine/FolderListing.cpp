#include "engine/FolderListing.h"

#include "engine/FileOps.h"

namespace vw {

namespace {

uint64_t Combine(DWORD high, DWORD low)
{
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

FileStamp StampOf(const WIN32_FIND_DATAW& data)
{
    return {Combine(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime),
            Combine(data.nFileSizeHigh, data.nFileSizeLow)};
}

bool ReadStamp(const std::wstring& path, FileStamp& stamp)
{
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW(LongPath(path).c_str(), &data));
    if (!find)
        return false;
    stamp = StampOf(data);
    return true;
}

bool StampsDiffer(const FileStamp& source, const FileStamp* dest, bool fatDestination)
{
    if (!dest || dest->size != source.size)
        return true;
    if (!fatDestination)
        return dest->lastWrite != source.lastWrite;
    constexpr uint64_t kTwoSeconds = 20'000'000;
    const uint64_t gap = dest->lastWrite > source.lastWrite ? dest->lastWrite - source.lastWrite
                                                            : source.lastWrite - dest->lastWrite;
    return gap > kTwoSeconds;
}

FolderListing::FolderListing(const std::wstring& folder)
{
    find_.reset(FindFirstFileW(LongPath(folder + L"*.*").c_str(), &data_));
    if (find_)
        return;
    error_ = GetLastError();
    // The listing alone cannot tell an empty drive root (no "." entry: "file not found") from a
    // folder that is gone, nor a name that is now a file (whose code differs between systems) from
    // a disk or share that went away: the folder's own entry settles it.
    const DWORD attributes = GetFileAttributesW(LongPath(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            state_ = ListingState::Absent;
        else if (error_ == ERROR_FILE_NOT_FOUND)
            error_ = ERROR_SUCCESS;  // an empty drive root
        else
            state_ = ListingState::Failed;
        return;
    }
    const DWORD attributesError = GetLastError();
    if (attributesError == ERROR_FILE_NOT_FOUND || attributesError == ERROR_PATH_NOT_FOUND) {
        state_ = ListingState::Absent;
        error_ = ERROR_PATH_NOT_FOUND;
    } else {
        state_ = ListingState::Failed;
    }
}

bool FolderListing::Next()
{
    if (!find_)
        return false;
    for (;;) {
        if (first_) {
            first_ = false;
        } else if (!FindNextFileW(find_.get(), &data_)) {
            if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
                error_ = error;
                state_ = ListingState::Failed;
            }
            return false;
        }
        if (!IsDotEntry(data_.cFileName))
            return true;
    }
}

ListingState FolderSnapshot::Read(const std::wstring& folder, DWORD* error)
{
    entries_.clear();
    FolderListing listing(folder);
    while (listing.Next())
        entries_.emplace(FoldCase(listing.Name()), Entry{StampOf(listing.Entry()), listing.IsFolder(), listing.Name()});
    if (error)
        *error = listing.Error();
    // Half a listing would pass the missing half for removed entries.
    if (listing.Failed())
        entries_.clear();
    return listing.State();
}

void FolderSnapshot::Add(Entry entry)
{
    std::wstring key = FoldCase(entry.name);
    entries_.insert_or_assign(std::move(key), std::move(entry));
}

const FolderSnapshot::Entry* FolderSnapshot::FindFolded(const std::wstring& key) const
{
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

const FolderSnapshot::Entry* FolderSnapshot::Find(const std::wstring& name) const
{
    return FindFolded(FoldCase(name));
}

bool FolderSnapshot::Contains(const std::wstring& name) const
{
    return Find(name) != nullptr;
}

size_t FolderSnapshot::FileCount() const
{
    size_t count = 0;
    for (const auto& [key, entry] : entries_)
        count += entry.folder ? 0 : 1;
    return count;
}

bool FolderSnapshot::ContainsFolder(const std::wstring& name) const
{
    const Entry* entry = Find(name);
    return entry && entry->folder;
}

std::wstring FoldCase(const std::wstring& name)
{
    std::wstring folded = name;
    if (!folded.empty())
        CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

}  // namespace vw
