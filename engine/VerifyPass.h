#pragma once
// Verify: every file the mirror should hold is read on both sides and compared byte for byte.
// Nothing is written anywhere, except that a repair copies a damaged file again.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/FolderListing.h"

namespace vw {

class CBackupEngine;
class RunContext;

struct VerifyCounts {
    int32_t same = 0;        // read on both sides, byte for byte the same
    int32_t missing = 0;     // in the source, not in the backup
    int32_t altered = 0;     // time and size agree, the bytes do not
    int32_t repaired = 0;    // of the altered ones, copied again
    int32_t outdated = 0;    // time or size differ: changed since the last backup, the next one copies it
    int32_t unreadable = 0;  // a file or folder that could not be read on one side
    int32_t extra = 0;       // in the backup, not in the source (left out of the outcome)

    // What makes the backup not match its source: a repaired file matches again.
    int32_t Mismatches() const { return missing + altered - repaired + outdated + unreadable; }
};

// The line that ends a verify run: the task, how the run ended ("完成", "已终止", "被强行终止") and the counts.
std::wstring VerifySummary(const std::wstring& taskName, const wchar_t* outcome, const VerifyCounts& counts);

class VerifyPass {
public:
    // The engine has been through InitForReading(true).
    VerifyPass(CBackupEngine& engine, RunContext& context, bool repair);
    ~VerifyPass();
    VerifyPass(const VerifyPass&) = delete;
    VerifyPass& operator=(const VerifyPass&) = delete;

    // False when the run was stopped or could not read its buffers; every finding is a status
    // line and a count, and the mismatches go into the batch's count of failed files.
    bool Run();
    const VerifyCounts& Counts() const { return counts_; }

private:
    enum class Comparison { Same, Different, Unreadable, Stopped };

    // `s` and `d` end with "\"; `destExists` comes from the parent's listing of the destination.
    void VerifyFolder(const std::wstring& s, const std::wstring& d, bool destExists);
    // One source file against its entry in the backup folder's listing (null: none).
    void CheckFile(const std::wstring& s, const std::wstring& d, const std::wstring& name,
                   const WIN32_FIND_DATAW& source, const FolderSnapshot::Entry* existing);
    // Reads both files chunk by chunk; on Unreadable, `failedPath` and `error` say which side and why.
    Comparison Compare(const std::wstring& sourceFile, const std::wstring& destFile, const std::wstring& name,
                       std::wstring& failedPath, DWORD& error);
    void Repair(const std::wstring& s, const std::wstring& d, const std::wstring& name, const std::wstring& destFile);
    // Every file below a destination folder that has no source folder.
    void ReportExtrasBelow(const std::wstring& d);
    void Report(int32_t& count, const wchar_t* format, const std::wstring& path);
    void ReportUnreadable(const std::wstring& path, DWORD error);
    bool Stopped() const;

    CBackupEngine& engine_;
    RunContext& context_;
    bool repair_;
    // A repair met an error that ends the run (a full or lost disk).
    bool fatal_ = false;
    VerifyCounts counts_;
    std::unique_ptr<char[]> sourceChunk_;
    std::unique_ptr<char[]> destChunk_;
};

}  // namespace vw
