// Verify: a walk over the source like the backup's scan, one listing of each folder on both
// sides, but every file whose directory entries agree is read on both sides and compared.
//
// What a file can be found to be, decided in CheckFile only:
//   - missing    no file of its name in the backup folder (nothing there, or a folder);
//   - outdated   the entries differ in time or size (StampsDiffer, as a backup decides): the
//                source changed after the last backup, which is no fault of the backup;
//   - same       the bytes agree;
//   - altered    the entries agree, the bytes do not: the backup rotted, was torn, or was changed
//                behind the program's back. A source written to while it was read is outdated;
//   - unreadable one side could not be opened or read.
// Entries of the backup without a source are extra: listed, but they lose nothing.
#include "engine/VerifyPass.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/CBackupEngine.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "engine/TransferProgress.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

// Reads until the buffer is full or the file ends: the two sides are compared chunk by chunk.
bool ReadChunk(HANDLE file, char* buffer, DWORD& got)
{
    got = 0;
    while (got < kCopyChunkSize) {
        DWORD read = 0;
        if (!ReadFile(file, buffer + got, kCopyChunkSize - got, &read, nullptr))
            return false;
        if (read == 0)
            break;
        got += read;
    }
    return true;
}

UniqueFile OpenForReading(const std::wstring& path)
{
    // Shared with every writer: verify never keeps a user's program from its files.
    return UniqueFile(CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

std::wstring VerifySummary(const std::wstring& taskName, const wchar_t* outcome, const VerifyCounts& counts)
{
    std::wstring text = Format(L"校验任务“%s”的备份%s：%d个文件相同", taskName.c_str(), outcome, counts.same);
    if (counts.missing > 0)
        text += Format(L"，%d个文件在备份中缺少", counts.missing);
    if (counts.altered > 0) {
        text += Format(L"，%d个文件内容与源文件不同", counts.altered);
        if (counts.repaired > 0)
            text += Format(L"（已重新复制%d个）", counts.repaired);
    }
    if (counts.outdated > 0)
        text += Format(L"，%d个文件在上次备份后已被修改", counts.outdated);
    if (counts.unreadable > 0)
        text += Format(L"，%d个文件或文件夹无法读取", counts.unreadable);
    if (counts.extra > 0)
        text += Format(L"，%d个文件只在备份中存在", counts.extra);
    return text;
}

VerifyPass::VerifyPass(CBackupEngine& engine, RunContext& context, bool repair)
    : engine_(engine), context_(context), repair_(repair)
{
}

VerifyPass::~VerifyPass() = default;

bool VerifyPass::Stopped() const
{
    return context_.stopFlag.load() != 0 || context_.cancelFlag.load() != 0;
}

bool VerifyPass::Run()
{
    try {
        sourceChunk_ = std::make_unique_for_overwrite<char[]>(kCopyChunkSize);
        destChunk_ = std::make_unique_for_overwrite<char[]>(kCopyChunkSize);
    } catch (const std::bad_alloc&) {
        context_.lastError = ERROR_NOT_ENOUGH_MEMORY;
        return false;
    }
    VerifyFolder(engine_.SourceFolder(), engine_.DestFolder(), true);
    if (repair_)
        engine_.FinishRepairs();
    // The batch's count of what is not as it should be: the runner's exit code and the balloon.
    context_.filesFailed += counts_.Mismatches();
    return !fatal_;
}

void VerifyPass::VerifyFolder(const std::wstring& s, const std::wstring& d, bool destExists)
{
    FolderSnapshot destEntries;
    if (destExists) {
        // The parent's listing had the folder: absent now is as unreadable as an error.
        if (DWORD error = 0; destEntries.Read(d, &error) != ListingState::Listed) {
            ReportUnreadable(d, error == ERROR_SUCCESS ? ERROR_PATH_NOT_FOUND : error);
            return;
        }
    }

    FolderSnapshot::Names sourceNames;
    FolderListing listing(s);
    const Reserved reserved = ReservedIn(s, engine_.SourceFolder());
    while (listing.Next()) {
        if (Stopped())
            return;
        engine_.PauseCheckpoint();
        const std::wstring name = listing.Name();
        // The backup passes over these too.
        if (IsReserved(name, reserved))
            continue;
        const std::wstring& key = *sourceNames.insert(FoldCase(name)).first;
        const FolderSnapshot::Entry* existing = destEntries.FindFolded(key);
        if (listing.IsFolder())
            VerifyFolder(s + name + L"\\", d + name + L"\\", existing && existing->folder);
        else
            CheckFile(s, d, name, listing.Entry(), existing);
    }
    if (Stopped())
        return;
    if (listing.Failed() || listing.Absent()) {
        ReportUnreadable(s, listing.Absent() ? ERROR_PATH_NOT_FOUND : listing.Error());
        return;
    }
    const Reserved destReserved = ReservedIn(d, engine_.DestFolder());
    destEntries.ForEachMissingFrom(sourceNames, [&](const std::wstring& name, bool folder) {
        if (IsReserved(name, destReserved))
            return;
        if (folder)
            ReportExtrasBelow(d + name + L"\\");
        else
            Report(counts_.extra, L"只在备份中存在的文件“%s”", d + name);
    });
}

void VerifyPass::CheckFile(const std::wstring& s, const std::wstring& d, const std::wstring& name,
                           const WIN32_FIND_DATAW& source, const FolderSnapshot::Entry* existing)
{
    const std::wstring sourceFile = s + name;
    if (!existing || existing->folder) {
        Report(counts_.missing, L"备份中缺少文件“%s”", sourceFile);
        return;
    }
    const FileStamp stamp = StampOf(source);
    if (StampsDiffer(stamp, existing->File(), engine_.DestinationIsFat())) {
        Report(counts_.outdated, L"源文件“%s”在上次备份后已被修改，下次备份时会复制", sourceFile);
        return;
    }
    const std::wstring destFile = d + existing->name;
    std::wstring failedPath;
    DWORD error = ERROR_SUCCESS;
    switch (Compare(sourceFile, destFile, name, failedPath, error)) {
    case Comparison::Same:
        ++counts_.same;
        ++context_.filesDone;
        return;
    case Comparison::Stopped:
        return;
    case Comparison::Unreadable:
        ReportUnreadable(failedPath, error);
        return;
    case Comparison::Different:
        break;
    }
    // Written to while it was read: a change of the source, not a fault of the backup.
    if (FileStamp now; !ReadStamp(sourceFile, now) || StampsDiffer(stamp, &now, false)) {
        Report(counts_.outdated, L"源文件“%s”在上次备份后已被修改，下次备份时会复制", sourceFile);
        return;
    }
    Report(counts_.altered, L"备份文件“%s”的内容与源文件不同（时间和大小都相同），备份已损坏或被改动过", destFile);
    if (repair_)
        Repair(s, d, name, destFile);
}

void VerifyPass::Repair(const std::wstring& s, const std::wstring& d, const std::wstring& name,
                        const std::wstring& destFile)
{
    const std::wstring history = engine_.HistoryFolder() + d.substr(engine_.DestFolder().size());
    if (engine_.RepairCopy(CBackupFileInfo{0, name, s, d, history})) {
        ++counts_.repaired;
        ++context_.filesCopied;
        context_.AppendStatusLine(Format(L"已重新复制备份文件“%s”", destFile.c_str()));
        return;
    }
    const DWORD error = context_.lastError.load();
    // A copy the user's stop cancelled says nothing; a full or lost disk ends the run.
    if (Stopped() && error == ERROR_REQUEST_ABORTED)
        return;
    fatal_ = fatal_ || IsFatalCopyError(error);
    context_.AppendStatusLine(
        Format(L"无法重新复制备份文件“%s”：%s", destFile.c_str(), SystemErrorText(error).c_str()));
}

VerifyPass::Comparison VerifyPass::Compare(const std::wstring& sourceFile, const std::wstring& destFile,
                                           const std::wstring& name, std::wstring& failedPath, DWORD& error)
{
    const UniqueFile source = OpenForReading(sourceFile);
    if (!source) {
        error = GetLastError();
        failedPath = sourceFile;
        return Comparison::Unreadable;
    }
    const UniqueFile dest = OpenForReading(destFile);
    if (!dest) {
        error = GetLastError();
        failedPath = destFile;
        return Comparison::Unreadable;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(source.get(), &size);

    const TrackedTransfer transfer(context_, name);
    const uint64_t total = static_cast<uint64_t>(size.QuadPart);
    uint64_t done = 0;
    if (!ReportChunkProgress(context_, total, done))
        return Comparison::Stopped;
    for (;;) {
        DWORD sourceGot = 0;
        DWORD destGot = 0;
        if (!ReadChunk(source.get(), sourceChunk_.get(), sourceGot)) {
            error = GetLastError();
            failedPath = sourceFile;
            return Comparison::Unreadable;
        }
        if (!ReadChunk(dest.get(), destChunk_.get(), destGot)) {
            error = GetLastError();
            failedPath = destFile;
            return Comparison::Unreadable;
        }
        if (sourceGot != destGot || std::memcmp(sourceChunk_.get(), destChunk_.get(), sourceGot) != 0)
            return Comparison::Different;
        if (sourceGot == 0)
            break;
        done += sourceGot;
        if (!ReportChunkProgress(context_, std::max(total, done), done))
            return Comparison::Stopped;
    }
    context_.progress = 100.0;
    return Comparison::Same;
}

void VerifyPass::ReportExtrasBelow(const std::wstring& d)
{
    FolderListing listing(d);
    while (listing.Next() && !Stopped()) {
        if (listing.IsFolder())
            ReportExtrasBelow(d + listing.Name() + L"\\");
        else
            Report(counts_.extra, L"只在备份中存在的文件“%s”", d + listing.Name());
    }
    if (listing.Failed())
        ReportUnreadable(d, listing.Error());
}

void VerifyPass::Report(int32_t& count, const wchar_t* format, const std::wstring& path)
{
    ++count;
    context_.AppendStatusLine(Format(format, path.c_str()));
}

void VerifyPass::ReportUnreadable(const std::wstring& path, DWORD error)
{
    ++counts_.unreadable;
    context_.AppendStatusLine(Format(L"无法校验“%s”：%s", path.c_str(), SystemErrorText(error).c_str()));
}

}  // namespace vw
