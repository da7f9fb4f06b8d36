#pragma once
// What a backup run that ended clean keeps for the next run of its task: every destination
// folder's entries as the run left them. A run that can trust it takes each destination folder's
// entries from it instead of listing the folder again (the source is listed every time all the
// same), which halves the folders a run with few changes has to read.
//
// It is trusted only while nothing seen from outside can have changed the destination since it
// was written: the run that wrote it got to its end (the marker's run record carries its start),
// the destination is still the one bound to the task on the same volume, the destination folder's
// own times have not moved, its work folder is empty, and a full listing was made less than a day
// ago. It is read once and deleted as a run starts, so a run cut off leaves none behind; a
// cleaning run deletes it. What none of that shows (a file edited or deleted by hand deep inside
// the destination) the next full listing finds.
//
// It is kept with the user's local program data, not in the destination: a pass leaves its work
// folder empty and the destination nothing but the program's own three names, and writing it there
// would move the very times it is sealed with.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/FolderListing.h"
#include "win/UniqueHandle.h"

namespace vw {

// The system's time now (UTC, 100-ns units): the unit of the marker's run record and of the
// state's times.
uint64_t SystemTimeNow();

// The state file of a task ("%LOCALAPPDATA%\Vaultwren\RunState\<id>.dat", the id's characters
// other than letters and digits written as "_" and four hex digits); empty when the folder is unknown.
std::wstring RunStatePath(const std::wstring& taskId);

// Everything that must be as it was for the state to be trusted.
struct RunStateSeal {
    uint64_t runStart = 0;        // the start the marker records for the run that wrote it
    uint32_t volumeSerial = 0;
    uint64_t destCreated = 0;     // the destination folder's own times
    uint64_t destWritten = 0;
    std::wstring binding;         // the task's stamp in the marker

    bool operator==(const RunStateSeal&) const = default;
};

// The seal of a destination folder ("X:\...\" ) as it is now; false when its times or its
// volume cannot be read.
bool ReadSeal(const std::wstring& destFolder, uint64_t runStart, const std::wstring& binding, RunStateSeal& seal);

// A full listing is made at least this often (100-ns units): what the destination's own times do
// not show (a file deleted deep inside it by hand) is found within a day.
inline constexpr uint64_t kFullListingInterval = 24ull * 3600 * 10'000'000;

// The state as a run builds it, one record per destination folder in any order, written out as
// it goes (the run's memory does not grow with the destination) under a work name beside the
// state file, which it takes only once it is whole. Dropped unfinished, the work file is deleted.
class RunStateRecorder {
public:
    RunStateRecorder() = default;
    RunStateRecorder(const RunStateRecorder&) = delete;
    RunStateRecorder& operator=(const RunStateRecorder&) = delete;
    ~RunStateRecorder();

    // Starts the work file for the state file `path` (its folder must exist).
    bool Open(const std::wstring& path);
    // `relativeFolder` is the folder's path below the destination ("a\b\", empty for the top).
    void AddFolder(const std::wstring& relativeFolder, const std::vector<FolderSnapshot::Entry>& entries);
    // Ends the file with the seal and puts it in place of the state file; false when it could not
    // be written whole (nothing is then left).
    bool Finish(const RunStateSeal& seal, uint64_t fullListing);

private:
    bool Flush();

    UniqueFile file_;
    std::wstring path_;
    std::string pending_;
    uint64_t written_ = 0;
    uint64_t checksum_ = 0;
    bool failed_ = false;
    struct Folder {
        std::wstring relative;
        uint64_t offset;
        uint32_t length;
    };
    std::vector<Folder> folders_;
};

// The state as the next run reads it: the seal and the index of folders are read at once, each
// folder's record when the run asks for it.
class RunState {
public:
    // False, with nothing loaded, when the file is missing, damaged, sealed otherwise than `seal`,
    // or its last full listing is a day or more before `now` (or after it: the clock went back).
    bool Load(const std::wstring& path, const RunStateSeal& seal, uint64_t now);
    // The folder's entries as the last run left them; false when the state has no record of it
    // (or it cannot be read any more).
    bool Fill(const std::wstring& relativeFolder, FolderSnapshot& snapshot);
    uint64_t FullListing() const { return fullListing_; }

private:
    struct Record {
        uint64_t offset;
        uint32_t length;
    };
    UniqueFile file_;
    // Upper-cased relative folder → where its record is.
    std::unordered_map<std::wstring, Record> folders_;
    std::string record_;
    uint64_t fullListing_ = 0;
};

}  // namespace vw
