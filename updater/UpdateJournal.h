#pragma once
// The record Updater.exe keeps of a swap in the program folder, and the finishing or undoing of a
// swap that a kill, a crash or a power cut interrupted. The staging folder (kStagingFolderName)
// holds "new\" (the staged files of the version), "old\" (each replaced file under a second name,
// kept until the swap is over) and "journal.txt": the state and every file of the swap.
//
// States of one swap, on disk:
//   no staging folder      nothing is going on;
//   staging, no journal    files are being staged: nothing in the program folder has changed;
//   journal "swapping"     files are being swapped: undone (all old files) when found later;
//   journal "installed"    every new file is in place: finished (the kept old files go).
// The journal only changes by a rename of a complete new one, so it is never found half-written.
#include <windows.h>

#include <string>
#include <vector>


namespace vw {

struct SwapEntry {
    std::wstring name;     // relative to the program folder
    bool existed = false;  // the program folder held a file of that name before the swap
};

enum class JournalState { Swapping, Installed };

enum class RecoveryEnd {
    Nothing,   // no interrupted swap
    Finished,  // the new version was complete: what was left of the swap is cleared away
    Undone,    // the old version is back in place
    Failed,    // a step of the undo failed: the journal stays for the next attempt
    Busy,      // another process swaps right now (no wait was asked for)
};

struct RecoveryResult {
    RecoveryEnd end = RecoveryEnd::Nothing;
    std::wstring file;  // where a failed undo stopped
    DWORD error = 0;
};

// Paths in the staging folder of `programFolder` (which ends in "\").
std::wstring StagingFolder(const std::wstring& programFolder);
std::wstring StagedFile(const std::wstring& programFolder, const std::wstring& name);
std::wstring KeptFile(const std::wstring& programFolder, const std::wstring& name);

// True when no other program holds the file in a way that stops a rename over it (Windows refuses
// that rename; asking first gives the same answer on every system). GetLastError tells why not.
bool CanBeReplaced(const std::wstring& path);

// Replaces the journal whole; false when it could not be written and flushed.
bool WriteSwapJournal(const std::wstring& programFolder, JournalState state, const std::vector<SwapEntry>& entries);

// Walks the swap back, newest first: a replaced file whose kept copy is there takes its name again
// and an added file that moved in goes. It stops at the first step that fails, leaving the older
// entries as they are, and `failed` tells which file that was; the staging folder goes only when
// every step went well.
bool UndoSwap(const std::wstring& programFolder, const std::vector<SwapEntry>& entries, RecoveryResult& failed);

// Removes the staging folder with everything in it; false when something stays (a file in use).
bool RemoveStagingFolder(const std::wstring& programFolder);

// Finishes or undoes what an interrupted swap left in `programFolder`. Waits up to `waitMs` for a
// swap of another process to end first (Updater.exe holds kSwapLockName while it works).
RecoveryResult FinishInterruptedUpdate(const std::wstring& programFolder, DWORD waitMs = 0);

// The machine-wide lock of a swap: one process at a time installs or recovers.
inline constexpr wchar_t kSwapLockName[] = L"VaultwrenUpdateSwap";

}  // namespace vw
