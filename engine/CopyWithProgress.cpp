#include "engine/CopyWithProgress.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/FileOps.h"
#include "win/HaltPoint.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "engine/TransferProgress.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/SlimLock.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

// The attributes a new file can take over from its source; the others (folder, sparse,
// compressed, reparse point, ...) describe how the source is stored, not what the user set.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;

// Holds the worker while the user's pause lasts. The state is looked at again after the event is
// reset: a resume that came in between found no paused copy to release and must not be lost.
// The event is made at the copy's first pause and kept until the copy ends: most copies are never
// paused, and under Wine making and closing an event are two round trips to the server per file.
// Without an event the copy cannot pause inside the file; it pauses between files instead.
void HoldWhilePaused(RunContext& context)
{
    if (context.CurrentTaskState() != kTaskPaused)
        return;
    if (!context.HasPauseEvent() && !context.CreatePauseEvent())
        return;
    context.pausedInCopy = 1;
    context.ResetPauseEvent();
    if (context.CurrentTaskState() == kTaskPaused)
        context.PostToWindow(WM_BACKUP_THREAD_PAUSE_MSG, 0);
    else
        context.SetPauseEvent();
    context.WaitPauseEvent();
    context.pausedInCopy = 0;
}

// Called once before the first chunk and after every chunk; false when the copy is to give up.
bool ReportProgress(RunContext& context, uint64_t total, uint64_t transferred, CopyShare share)
{
    context.totalBytes = total;
    context.bytesTransferred = transferred;
    context.progress = total == 0 ? 0.0 : static_cast<double>(transferred) * 100.0 / static_cast<double>(total);

    // The cancel flag belongs to the copy made alone, which lowers it as it starts; a stop raises
    // the run's stop flag before it, which is what copies made side by side go by.
    if (share == CopyShare::Pooled)
        return context.stopFlag.load() == 0;
    HoldWhilePaused(context);

    const int64_t delay = static_cast<int64_t>(context.settings.Speed.load()) * 3;
    if (delay >= 1 && delay <= 300)
        Sleep(static_cast<DWORD>(delay));

    return context.cancelFlag.load() == 0;
}

DWORD WriteAll(HANDLE file, const char* data, DWORD size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr))
            return GetLastError();
        // A write that takes nothing without an error has nowhere left to put the data.
        if (written == 0)
            return ERROR_DISK_FULL;
        data += written;
        size -= written;
    }
    return ERROR_SUCCESS;
}

// The chunk buffers of the copies in progress, and up to kIdleBuffersKept more for the next ones:
// a fresh megabyte per file costs a page fault per page on every read (Wine touches the whole
// buffer), which for small files outweighs the copy itself. Not thread-local: a thread-local
// object with a destructor makes the C++ runtime of our toolchain delete a thread key when the
// process exits, and after several copiers had ended at once that deletion was seen to hang the
// console runner after its run was over.
class ChunkBuffers {
public:
    std::unique_ptr<char[]> Take()
    {
        {
            std::lock_guard guard(lock_);
            if (idleCount_ > 0)
                return std::move(idle_[--idleCount_]);
        }
        try {
            return std::make_unique_for_overwrite<char[]>(kCopyChunkSize);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    // Never allocates: it runs as a copy's buffer goes out of scope.
    void Give(std::unique_ptr<char[]> buffer) noexcept
    {
        std::lock_guard guard(lock_);
        if (idleCount_ < idle_.size())
            idle_[idleCount_++] = std::move(buffer);
    }

    void ReleaseIdle() noexcept
    {
        // Freed once the lock is let go.
        decltype(idle_) released;
        std::lock_guard guard(lock_);
        released.swap(idle_);
        idleCount_ = 0;
    }

private:
    // The pass and its copiers.
    static constexpr size_t kIdleBuffersKept = 4;
    SlimMutex lock_;
    std::array<std::unique_ptr<char[]>, kIdleBuffersKept> idle_;
    size_t idleCount_ = 0;
};

ChunkBuffers g_chunkBuffers;

// One copy's buffer, given back when the copy ends.
class ChunkBuffer {
public:
    ChunkBuffer() : buffer_(g_chunkBuffers.Take()) {}
    ~ChunkBuffer()
    {
        if (buffer_)
            g_chunkBuffers.Give(std::move(buffer_));
    }
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;

    char* get() const { return buffer_.get(); }

private:
    std::unique_ptr<char[]> buffer_;
};

// Streams the content from `in` to `out` in chunks through one buffer; `transferred` is what it wrote.
DWORD CopyContent(RunContext& context, HANDLE in, HANDLE out, uint64_t size, uint64_t& transferred,
                  CopyShare share)
{
    const ChunkBuffer chunk;
    char* const buffer = chunk.get();
    if (!buffer)
        return ERROR_NOT_ENOUGH_MEMORY;

    uint64_t total = size;
    transferred = 0;
    if (!ReportProgress(context, total, transferred, share))
        return ERROR_REQUEST_ABORTED;
    // Read to the end rather than to the size seen at the start: a file that grows or shrinks
    // meanwhile is not cut short or padded, and SourceChanged then turns the copy down.
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, buffer, kCopyChunkSize, &got, nullptr))
            return GetLastError();
        if (got == 0)
            break;
        if (const DWORD error = WriteAll(out, buffer, got); error != ERROR_SUCCESS)
            return error;
        transferred += got;
        total = std::max(total, transferred);
        HaltPoint(L"copying");
        if (!ReportProgress(context, total, transferred, share))
            return ERROR_REQUEST_ABORTED;
    }
    // An empty file is complete all the same.
    context.totalBytes = transferred;
    context.bytesTransferred = transferred;
    context.progress = 100.0;
    return ERROR_SUCCESS;
}

// The source was written to while it was copied: its last-write time moved on, or it did not end
// where it ended when the copy began. Such a copy may hold parts of two versions, and stamped with
// the source's time and size it would pass for the new one in every later run.
bool SourceChanged(HANDLE in, const FILE_BASIC_INFO& before, uint64_t sizeBefore, uint64_t copied)
{
    FILE_BASIC_INFO after{};
    if (!GetFileInformationByHandleEx(in, FileBasicInfo, &after, sizeof after))
        return true;
    return copied != sizeBefore || after.LastWriteTime.QuadPart != before.LastWriteTime.QuadPart;
}

// The source's times and attributes, in one call on the open file. A volume that refuses some of
// them (a network share, some NAS) still gets the others; the content is whole either way and the
// copy stands.
void TakeTimesAndAttributes(HANDLE out, const FILE_BASIC_INFO& source)
{
    FILE_BASIC_INFO target = source;
    target.ChangeTime.QuadPart = 0;
    // A new file is created "archive", so attributes that say no more than that are left as they are (0).
    const DWORD attributes = source.FileAttributes & kKeptAttributes;
    target.FileAttributes = (attributes & ~FILE_ATTRIBUTE_ARCHIVE) != 0 ? attributes : 0;
    if (SetFileInformationByHandle(out, FileBasicInfo, &target, sizeof target))
        return;
    FILE_BASIC_INFO timesOnly = target;
    timesOnly.FileAttributes = 0;
    SetFileInformationByHandle(out, FileBasicInfo, &timesOnly, sizeof timesOnly);
    FILE_BASIC_INFO attributesOnly{};
    attributesOnly.FileAttributes = target.FileAttributes;
    if (attributesOnly.FileAttributes != 0)
        SetFileInformationByHandle(out, FileBasicInfo, &attributesOnly, sizeof attributesOnly);
}

// The whole copy of one file into `out`, which it creates and leaves open; the system error code,
// or ERROR_SUCCESS.
DWORD CopyFileChunked(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      UniqueFile& out, CopyShare share)
{
    // A symbolic link is opened through to its target, so its content is what gets copied. The
    // user's own programs may go on saving it meanwhile (in place, or by replacing it): such a copy
    // is caught after it ends.
    UniqueFile in(CreateFileW(LongPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in)
        return GetLastError();
    // Times and attributes, and the size, by handle: cheaper than the full information query,
    // which also looks up the file's name.
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    if (!GetFileInformationByHandleEx(in.get(), FileBasicInfo, &basic, sizeof basic) ||
        !GetFileSizeEx(in.get(), &size))
        return GetLastError();

    // Delete access: the finished copy is renamed through this handle.
    out.reset(CreateFileW(LongPath(destination).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out)
        return GetLastError();  // not ours: an existing file there stays untouched

    uint64_t copied = 0;
    DWORD error = CopyContent(context, in.get(), out.get(), static_cast<uint64_t>(size.QuadPart), copied, share);
    if (error == ERROR_SUCCESS && SourceChanged(in.get(), basic, static_cast<uint64_t>(size.QuadPart), copied))
        error = ERR_SOURCE_CHANGING;
    if (error != ERROR_SUCCESS) {
        // The file did not exist before this copy: a partial one must not pass for a backup.
        out.reset();
        DeleteFileW(LongPath(destination).c_str());
        return error;
    }
    TakeTimesAndAttributes(out.get(), basic);
    return ERROR_SUCCESS;
}

// The copy with the context's bookkeeping around it: the file being copied, its progress fields,
// the pause event, and the error with its stop flag. The error code is left in GetLastError().
bool CopyTracked(RunContext& context, const std::wstring& source, const std::wstring& destination,
                 const std::wstring& fileName, UniqueFile& out, CopyShare share)
{
    DWORD error = ERROR_SUCCESS;
    if (share == CopyShare::Pooled) {
        // The latest file started is the one the status panel names; the pass clears the name
        // once the copies made side by side have ended.
        context.SetCurrentFile(fileName);
        ++context.copying;
        error = CopyFileChunked(context, source, destination, out, share);
        if (IsFatalCopyError(error))
            context.stopFlag = 1;
        --context.copying;
    } else {
        context.ResetCopyFields(fileName);
        context.copying = 1;
        error = CopyFileChunked(context, source, destination, out, share);
        if (error != ERROR_SUCCESS) {
            context.lastError = error;
            if (IsFatalCopyError(error))
                context.stopFlag = 1;
        }
        context.pausedInCopy = 0;
        context.ClosePauseEvent();
        context.copying = 0;
        context.SetCurrentFile(std::wstring());
    }
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

}  // namespace

bool CopiedFile::TakeName(const std::wstring& path, bool replace)
{
    if (!file_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const std::wstring target = LongPath(path);
    // FILE_RENAME_INFO ends in the new name; the zeroed buffer leaves it terminated.
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(buffer.data() + offsetof(FILE_RENAME_INFO, FileName), target.data(), nameBytes);
    if (!SetFileInformationByHandle(file_.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return false;
    file_.reset();
    workPath_.clear();
    return true;
}

void CopiedFile::Discard()
{
    if (!file_)
        return;
    file_.reset();
    DeleteOwnedFile(workPath_);
    workPath_.clear();
}

bool CopyWithProgress(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      const std::wstring& fileName)
{
    UniqueFile out;
    return CopyTracked(context, source, destination, fileName, out, CopyShare::Alone);
}

bool CopyWithProgress(RunContext& context, const std::wstring& source, const std::wstring& destination,
                      const std::wstring& fileName, CopiedFile& copied, CopyShare share)
{
    copied.Discard();
    if (!CopyTracked(context, source, destination, fileName, copied.file_, share))
        return false;
    copied.workPath_ = destination;
    return true;
}

void ReleaseIdleChunkBuffers()
{
    g_chunkBuffers.ReleaseIdle();
}

bool ReportChunkProgress(RunContext& context, uint64_t total, uint64_t done)
{
    return ReportProgress(context, total, done, CopyShare::Alone);
}

}  // namespace vw
