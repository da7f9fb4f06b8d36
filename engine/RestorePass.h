#pragma once
// Restore: files of a task's backup (the mirror, or each file's previous version from the history
// folder) copied into a folder of the user's choice. Nothing in the destination is written.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "engine/RunRequest.h"

namespace vw {

class CBackupEngine;
class RunContext;

struct RestoreCounts {
    int32_t restored = 0;
    int32_t existing = 0;          // already in the target folder and not overwritten
    int32_t withoutPrevious = 0;   // asked for the previous version, but history has none: the mirror's was taken
    int32_t failed = 0;            // could not be read, written or found in the backup

    // What the run could not do of what it was asked: the runner's exit code and the balloon.
    int32_t NotRestored() const { return existing + failed; }
};

// The line that ends a restore run: the task, how it ended, the target folder and the counts.
std::wstring RestoreSummary(const std::wstring& taskName, const wchar_t* outcome, const std::wstring& target,
                            const RestoreCounts& counts);

// A path the user named relative to the source, as the walk uses it ("a\b"; "/" taken as "\",
// doubled and closing "\" dropped); empty when it is no such path: absolute, with a drive, with
// a "." or ".." part, or naming one of the program's own entries at the backup's top level.
std::wstring RestorePathWithin(const std::wstring& path);

// Why a restore request cannot be carried out on a destination folder (an engine error code),
// or 0: the target must be a full path apart from the destination, the paths RestorePathWithin.
uint32_t RestoreRequestFault(const std::wstring& destFolder, const RestoreRequest& request);

// The folder a restore from the window goes to unless the user picks another: a new folder in
// `parent` (the desktop) named after the task and the day, "文档 恢复 2026-12-11", then " (2)",
// " (3)", ... while `taken` says the name is in use. What a file name cannot hold becomes "_".
std::wstring DefaultRestoreFolder(const std::wstring& parent, const std::wstring& taskName, int year, int month,
                                  int day, const std::function<bool(const std::wstring&)>& taken);

// The question at the end of a restore from the window, whose yes opens the folder.
std::wstring RestoreOpenQuestion(const std::wstring& target);

class RestorePass {
public:
    // The engine has been through InitForReading(false).
    RestorePass(CBackupEngine& engine, RunContext& context, const RestoreRequest& request);

    // False when the request is refused or an error ended the run (a full or lost disk); every
    // file not restored is a status line and a count, added to the batch's count of failed files.
    bool Run();
    const RestoreCounts& Counts() const { return counts_; }

private:
    // `relative` is "" or ends with "\": the folder below the backup's top level.
    void RestoreFolder(const std::wstring& relative);
    void RestoreFile(const std::wstring& relative, const std::wstring& name);
    // One named path: a folder or a file of the mirror.
    void RestorePath(const std::wstring& path);
    void Fail(const wchar_t* format, const std::wstring& path, DWORD error);
    bool Stopped() const;

    CBackupEngine& engine_;
    RunContext& context_;
    const RestoreRequest& request_;
    std::wstring target_;  // ends with "\"
    std::wstring workName_;
    RestoreCounts counts_;
    bool fatal_ = false;
};

}  // namespace vw
