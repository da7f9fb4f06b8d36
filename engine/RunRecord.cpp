// The record of a backup run in the marker file: when it started, whether it got to its end, and
// the removals the brake on mass removals holds back (engine/BackupPass.cpp).
//
// A copy takes its real name by a rename, and the system may write the rename to disk before the
// data: after a power cut the real name can hold zeros under the source's time and size, and no
// later run would look at it again. Flushing every copy would make every run pay for that; instead
// a run writes its start to the marker (flushed) and the same value as its end when it is over. A
// run that finds a start without its end knows that run was cut off, and copies again every file
// that changed on disk since that start (its change time, which every write and rename moves on).
// It keeps that start as its own until it gets to its end, so a recovery cut off in turn (or
// stopped) is taken up again. A run the user stops writes its end: the system still writes out
// what it was given.
#include <windows.h>

#include <cwchar>
#include <string>

#include "engine/CBackupEngine.h"
#include "engine/FileOps.h"
#include "engine/LongPathIni.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"
#include "task/CBackupItem.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr wchar_t kRunStartKey[] = L"RunStart";
constexpr wchar_t kRunEndKey[] = L"RunEnd";
constexpr wchar_t kRemovalsHeldKey[] = L"RemovalsHeld";

uint64_t ReadTime(const LongPathIni& marker, const std::wstring& section, const wchar_t* key)
{
    std::wstring text;
    if (!marker.GetString(section, key, text) || text.empty())
        return 0;
    wchar_t* end = nullptr;
    const uint64_t value = wcstoull(text.c_str(), &end, 10);
    return end && *end == 0 ? value : 0;
}

// The marker's own content on disk before the first copy: the record of the start must survive
// whatever the copies leave behind.
void FlushToDisk(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      0, nullptr));
    if (file)
        FlushFileBuffers(file.get());
}

}  // namespace

void CBackupEngine::OpenRunRecord()
{
    LongPathIni marker(markerFile_);
    const uint64_t start = ReadTime(marker, task_.Id, kRunStartKey);
    uint64_t thisStart = SystemTimeNow();
    if (start != 0 && ReadTime(marker, task_.Id, kRunEndKey) != start) {
        interruptedSince_ = start;
        thisStart = start;
        context_.AppendStatusLine(Format(L"任务“%s”上次备份没有正常结束，它复制过的文件将重新复制", task_.Name.c_str()));
    }
    runStart_ = thisStart;
    removalsHeldBefore_ = ReadTime(marker, task_.Id, kRemovalsHeldKey) != 0;
    if (marker.SetString(task_.Id, kRunStartKey, Format(L"%llu", static_cast<unsigned long long>(thisStart))))
        FlushToDisk(markerFile_);
}

uint64_t CBackupEngine::CompletedRunStart() const
{
    LongPathIni marker(markerFile_);
    const uint64_t start = ReadTime(marker, task_.Id, kRunStartKey);
    return start != 0 && ReadTime(marker, task_.Id, kRunEndKey) == start ? start : 0;
}

void CBackupEngine::CloseRunRecord()
{
    if (runStart_ != 0)
        LongPathIni(markerFile_).SetString(task_.Id, kRunEndKey, Format(L"%llu", static_cast<unsigned long long>(runStart_)));
}

void CBackupEngine::RecordHeldRemovals(int64_t files)
{
    if (files == 0 && !removalsHeldBefore_)
        return;
    LongPathIni(markerFile_).SetString(task_.Id, kRemovalsHeldKey, files == 0 ? L"" : Format(L"%lld", static_cast<long long>(files)));
}

bool CBackupEngine::WrittenByInterruptedRun(const std::wstring& destFile) const
{
    if (!Recovering())
        return false;
    const UniqueFile file(CreateFileW(LongPath(destFile).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_BASIC_INFO info{};
    if (!file || !GetFileInformationByHandleEx(file.get(), FileBasicInfo, &info, sizeof info))
        return true;
    // A volume that keeps no change time (FAT) cannot tell: the file is copied again.
    return info.ChangeTime.QuadPart == 0 || static_cast<uint64_t>(info.ChangeTime.QuadPart) >= interruptedSince_;
}

}  // namespace vw
