// Restore: a walk over the backup (or over the folders and files the user named), each file copied
// into the same place below the target folder by the engine's copy, under a work name first, so
// that a restore cut off never leaves a torn file under a real name.
//
// Where each thing is decided:
//   - which version: RestoreFile (the history's, when asked for and there is one, else the mirror's);
//   - an existing file in the target: RestoreFile, looked at before the copy and again before the
//     rename, left alone unless overwriting was asked for;
//   - what is refused outright (a target inside the destination, a path leading out of the
//     source): RestoreRequestFault, before anything is read.
#include "engine/RestorePass.h"

#include <windows.h>

#include <string_view>

#include "engine/CBackupEngine.h"
#include "engine/CopyWithProgress.h"
#include "engine/FileOps.h"
#include "engine/FolderListing.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "task/FolderLocation.h"
#include "task/FolderPathRules.h"
#include "win/Format.h"

namespace vw {

namespace {

// A full path whose names Windows can hold: "C:\…" or "\\server\share\…". A quote left in by a
// command line ("D:\x\" reaches the program as D:\x") is refused with the rest.
bool IsFullPath(const std::wstring& path)
{
    if (path.find_first_of(L"\"<>|*?", 0) != std::wstring::npos || path.find(L':', 2) != std::wstring::npos ||
        HasControlCharacter(path))
        return false;
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
                       ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
    const bool network = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?' &&
                         path[2] != L'.' && path[2] != L'\\';
    return drive || network;
}

}  // namespace

std::wstring RestoreSummary(const std::wstring& taskName, const wchar_t* outcome, const std::wstring& target,
                            const RestoreCounts& counts)
{
    std::wstring text = Format(L"从任务“%s”的备份恢复文件到“%s”%s，成功恢复%d个文件", taskName.c_str(),
                               target.c_str(), outcome, counts.restored);
    if (counts.withoutPrevious > 0)
        text += Format(L"（其中%d个没有上一版本，恢复的是备份中的版本）", counts.withoutPrevious);
    if (counts.existing > 0)
        text += Format(L"，%d个文件已存在而未覆盖", counts.existing);
    if (counts.failed > 0)
        text += Format(L"，%d个文件无法恢复", counts.failed);
    return text;
}

std::wstring RestorePathWithin(const std::wstring& path)
{
    std::wstring given = path;
    for (wchar_t& c : given)
        if (c == L'/')
            c = L'\\';
    if (given.empty() || given[0] == L'\\' || given.find(L':') != std::wstring::npos)
        return {};
    std::wstring result;
    size_t start = 0;
    while (start <= given.size()) {
        size_t end = given.find(L'\\', start);
        if (end == std::wstring::npos)
            end = given.size();
        const std::wstring part = given.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        // "." and "..", and names Windows would open as another one ("a." as "a").
        if (part.back() == L'.' || part.back() == L' ' || HasControlCharacter(part))
            return {};
        // The backup's top level holds the program's own entries, never a source's.
        if (result.empty() && IsSkippedName(part))
            return {};
        if (!result.empty())
            result += L'\\';
        result += part;
    }
    return result;
}

uint32_t RestoreRequestFault(const std::wstring& destFolder, const RestoreRequest& request)
{
    if (!IsFullPath(request.target) || FindUnusableName(request.target).fault != FolderPathFault::None)
        return ERR_RESTORE_TARGET_UNUSABLE;
    if (FindFolderOverlap(request.target, destFolder) != FolderOverlap::None)
        return ERR_RESTORE_TARGET_IN_DEST;
    for (const std::wstring& path : request.paths)
        if (RestorePathWithin(path).empty())
            return ERR_RESTORE_PATH_UNUSABLE;
    return 0;
}

std::wstring DefaultRestoreFolder(const std::wstring& parent, const std::wstring& taskName, int year, int month,
                                  int day, const std::function<bool(const std::wstring&)>& taken)
{
    std::wstring name = taskName;
    for (wchar_t& c : name)
        if (c < 32 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            c = L'_';
    const std::wstring base =
        AppendBackslash(parent) + Format(L"%s 恢复 %04d-%02d-%02d", name.c_str(), year, month, day);
    std::wstring folder = base;
    for (int n = 2; taken(folder) && n < 1000; ++n)
        folder = Format(L"%s (%d)", base.c_str(), n);
    return folder;
}

std::wstring RestoreOpenQuestion(const std::wstring& target)
{
    return Format(L"文件已恢复到“%s”。\r\n要打开这个文件夹吗？", target.c_str());
}

RestorePass::RestorePass(CBackupEngine& engine, RunContext& context, const RestoreRequest& request)
    : engine_(engine), context_(context), request_(request)
{
}

bool RestorePass::Stopped() const
{
    return context_.stopFlag.load() != 0 || context_.cancelFlag.load() != 0;
}

bool RestorePass::Run()
{
    if (const uint32_t fault = RestoreRequestFault(engine_.DestFolder(), request_); fault != 0) {
        context_.lastError = fault;
        return false;
    }
    target_ = AppendBackslash(request_.target);
    // Ours alone: a file of the user's of that name is never opened (the copy creates it new).
    workName_ = Format(L"~vaultwren-restore-%lu.tmp", GetCurrentProcessId());
    if (!IsFolder(target_) && !CreateFolderTree(target_)) {
        const DWORD error = GetLastError();
        context_.lastError = error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (request_.paths.empty()) {
        RestoreFolder(L"");
    } else {
        for (const std::wstring& path : request_.paths) {
            if (Stopped())
                break;
            RestorePath(RestorePathWithin(path));
        }
    }
    context_.filesFailed += counts_.NotRestored();
    return !fatal_;
}

void RestorePass::RestorePath(const std::wstring& path)
{
    const std::wstring mirror = engine_.DestFolder() + path;
    if (IsFolder(mirror)) {
        RestoreFolder(path + L"\\");
        return;
    }
    const size_t slash = path.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    const std::wstring name = path.substr(folder.size());
    // A file removed from the source lives on in history only: its previous version is there.
    if (PathExists(mirror) || (request_.previous && PathExists(engine_.HistoryFolder() + path))) {
        RestoreFile(folder, name);
        return;
    }
    Fail(L"无法恢复“%s”：%s", mirror, ERROR_FILE_NOT_FOUND);
}

void RestorePass::RestoreFolder(const std::wstring& relative)
{
    const std::wstring from = engine_.DestFolder() + relative;
    const std::wstring to = target_ + relative;
    // A folder this run makes takes the backup folder's times once its content is in.
    const bool made = !relative.empty() && !IsFolder(to);
    if (made && !CreateFolderTree(to)) {
        Fail(L"无法创建文件夹“%s”：%s", to, GetLastError());
        return;
    }
    FolderListing listing(from);
    const Reserved reserved = ReservedIn(from, engine_.DestFolder());
    while (listing.Next()) {
        if (Stopped())
            return;
        engine_.PauseCheckpoint();
        const std::wstring name = listing.Name();
        if (IsReserved(name, reserved))
            continue;
        if (listing.IsFolder())
            RestoreFolder(relative + name + L"\\");
        else
            RestoreFile(relative, name);
    }
    if (listing.Failed() || listing.Absent()) {
        Fail(L"无法读取备份中的文件夹“%s”：%s", from, listing.Absent() ? ERROR_PATH_NOT_FOUND : listing.Error());
        return;
    }
    if (made)
        CopyFileTimes(to, from);
}

void RestorePass::RestoreFile(const std::wstring& relative, const std::wstring& name)
{
    const std::wstring mirrorFile = engine_.DestFolder() + relative + name;
    std::wstring from = mirrorFile;
    if (request_.previous) {
        const std::wstring previous = engine_.HistoryFolder() + relative + name;
        if (PathExists(previous) && !IsFolder(previous)) {
            from = previous;
        } else {
            ++counts_.withoutPrevious;
            context_.AppendStatusLine(
                Format(L"“%s”在历史文件夹中没有上一版本，恢复的是备份中的版本", mirrorFile.c_str()));
        }
    }
    const std::wstring folder = target_ + relative;
    const std::wstring destination = folder + name;
    const auto leaveExisting = [&] {
        ++counts_.existing;
        context_.AppendStatusLine(Format(L"“%s”已存在，未覆盖", destination.c_str()));
    };
    if (!request_.overwrite && PathExists(destination)) {
        leaveExisting();
        return;
    }
    if (IsFolder(destination)) {
        Fail(L"无法恢复的文件“%s”：%s", destination, ERROR_ALREADY_EXISTS);
        return;
    }
    if (!IsFolder(folder) && !CreateFolderTree(folder)) {
        Fail(L"无法创建文件夹“%s”：%s", folder, GetLastError());
        return;
    }
    CopiedFile copy;
    if (!CopyWithProgress(context_, from, folder + workName_, name, copy)) {
        const DWORD error = context_.lastError.load();
        // A copy the user's stop cancelled says nothing; a full or lost disk ends the run.
        if (Stopped() && error == ERROR_REQUEST_ABORTED)
            return;
        fatal_ = fatal_ || IsFatalCopyError(error);
        Fail(L"无法恢复的文件“%s”：%s", from, error);
        return;
    }
    // Looked at again: a file that appeared meanwhile is the user's.
    if (!request_.overwrite && PathExists(destination)) {
        copy.Discard();
        leaveExisting();
        return;
    }
    const DWORD attributes = LiftReadOnly(destination);
    if (!copy.TakeName(destination)) {
        const DWORD error = GetLastError();
        RestoreReadOnly(destination, attributes);
        copy.Discard();
        Fail(L"无法恢复的文件“%s”：%s", destination, error);
        return;
    }
    ++counts_.restored;
    ++context_.filesDone;
    ++context_.filesCopied;
}

void RestorePass::Fail(const wchar_t* format, const std::wstring& path, DWORD error)
{
    ++counts_.failed;
    context_.AppendStatusLine(Format(format, path.c_str(), SystemErrorText(error).c_str()));
}

}  // namespace vw
