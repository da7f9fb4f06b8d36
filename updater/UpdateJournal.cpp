#include "updater/UpdateJournal.h"

#include <optional>

#include "updater/UpdateManifest.h"
#include "win/Format.h"
#include "win/MutexLock.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr wchar_t kJournalName[] = L"journal.txt";
constexpr char kJournalTitle[] = "Vaultwren update journal 1";
constexpr char kSwapping[] = "swapping";
constexpr char kInstalled[] = "installed";

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct Journal {
    JournalState state = JournalState::Swapping;
    std::vector<SwapEntry> entries;
};

std::wstring JournalPath(const std::wstring& programFolder)
{
    return StagingFolder(programFolder) + kJournalName;
}

// Nothing when there is no journal or it is not one of ours.
std::optional<Journal> ReadJournal(const std::wstring& programFolder)
{
    const UniqueFile file(CreateFileW(JournalPath(programFolder).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxManifestSize)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
        return std::nullopt;

    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos)
            return std::nullopt;  // every line ends, the last one too
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    if (lines.size() < 2 || lines[0] != kJournalTitle || (lines[1] != kSwapping && lines[1] != kInstalled))
        return std::nullopt;
    Journal journal;
    journal.state = lines[1] == kInstalled ? JournalState::Installed : JournalState::Swapping;
    for (size_t i = 2; i < lines.size(); ++i) {
        if (lines[i].size() < 2 || (lines[i][0] != '+' && lines[i][0] != '-'))
            return std::nullopt;
        journal.entries.push_back({Utf8ToWide(lines[i].substr(1)), lines[i][0] == '+'});
    }
    return journal;
}

bool RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    bool removed = true;
    {
        const UniqueFindHandle find(FindFirstFileW((folder + L"*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring path = folder + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removed = RemoveTree(path + L"\\") && removed;
                } else {
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    removed = DeleteFileW(path.c_str()) && removed;
                }
            } while (FindNextFileW(find.get(), &data));
        }
    }
    return (RemoveDirectoryW(folder.c_str()) || !Exists(folder)) && removed;
}

bool Fail(RecoveryResult& result, const std::wstring& file)
{
    result.end = RecoveryEnd::Failed;
    result.file = file;
    result.error = GetLastError();
    return false;
}

}  // namespace

std::wstring StagingFolder(const std::wstring& programFolder)
{
    return programFolder + kStagingFolderName + L"\\";
}

std::wstring StagedFile(const std::wstring& programFolder, const std::wstring& name)
{
    return StagingFolder(programFolder) + L"new\\" + name;
}

std::wstring KeptFile(const std::wstring& programFolder, const std::wstring& name)
{
    return StagingFolder(programFolder) + L"old\\" + name;
}

bool CanBeReplaced(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

bool WriteSwapJournal(const std::wstring& programFolder, JournalState state, const std::vector<SwapEntry>& entries)
{
    std::string text = std::string(kJournalTitle) + "\r\n" +
                       (state == JournalState::Installed ? kInstalled : kSwapping) + "\r\n";
    for (const SwapEntry& entry : entries) {
        text += entry.existed ? '+' : '-';
        text += WideToUtf8(entry.name);
        text += "\r\n";
    }

    const std::wstring journal = JournalPath(programFolder);
    const std::wstring written = journal + L".tmp";
    {
        const UniqueFile file(CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr) ||
            done != text.size() || !FlushFileBuffers(file.get())) {
            const DWORD error = GetLastError();
            DeleteFileW(written.c_str());
            SetLastError(error);
            return false;
        }
    }
    return MoveFileExW(written.c_str(), journal.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool UndoSwap(const std::wstring& programFolder, const std::vector<SwapEntry>& entries, RecoveryResult& failed)
{
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::wstring target = programFolder + it->name;
        const std::wstring kept = KeptFile(programFolder, it->name);
        if (it->existed) {
            // The kept name holds the old file whether or not the new one took its place yet.
            if (Exists(kept)) {
                if (Exists(target) && !CanBeReplaced(target))
                    return Fail(failed, target);
                SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!MoveFileExW(kept.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                    return Fail(failed, target);
            }
        } else if (!Exists(StagedFile(programFolder, it->name)) && Exists(target)) {
            // Added by this swap (its staged copy has moved in): it goes.
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileW(target.c_str()))
                return Fail(failed, target);
        }
    }
    if (!RemoveStagingFolder(programFolder))
        return Fail(failed, StagingFolder(programFolder));
    return true;
}

bool RemoveStagingFolder(const std::wstring& programFolder)
{
    const std::wstring staging = StagingFolder(programFolder);
    if (!Exists(staging))
        return true;
    // The journal last: until it is gone, a later start still knows what the folder holds.
    const bool contentGone = RemoveTree(staging + L"new\\") && RemoveTree(staging + L"old\\");
    if (!contentGone)
        return false;
    DeleteFileW((JournalPath(programFolder) + L".tmp").c_str());
    return (DeleteFileW(JournalPath(programFolder).c_str()) || !Exists(JournalPath(programFolder))) &&
           RemoveTree(staging);
}

RecoveryResult FinishInterruptedUpdate(const std::wstring& programFolder, DWORD waitMs)
{
    RecoveryResult result;
    if (!Exists(StagingFolder(programFolder)))
        return result;
    const MutexLock lock(kSwapLockName, waitMs);
    if (!lock.Held()) {
        result.end = RecoveryEnd::Busy;
        return result;
    }
    const std::wstring staging = StagingFolder(programFolder);
    if (!Exists(staging))
        return result;  // the swap that held the lock has ended meanwhile
    const std::optional<Journal> journal = ReadJournal(programFolder);
    if (!journal) {
        // No journal: the swap never began, only staged copies are there. A journal we cannot read
        // may name kept old files: nothing is touched then.
        if (Exists(JournalPath(programFolder))) {
            SetLastError(ERROR_INVALID_DATA);
            Fail(result, JournalPath(programFolder));
            return result;
        }
        if (!RemoveStagingFolder(programFolder))
            Fail(result, staging);
        else
            result.end = RecoveryEnd::Undone;
        return result;
    }
    if (journal->state == JournalState::Installed) {
        // The kept old files are all that is left; one still in use waits for the next start.
        RemoveStagingFolder(programFolder);
        result.end = RecoveryEnd::Finished;
        return result;
    }
    if (UndoSwap(programFolder, journal->entries, result))
        result.end = RecoveryEnd::Undone;
    return result;
}

}  // namespace vw
