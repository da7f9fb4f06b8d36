// The state file: one record per destination folder, then the seal and the index of the records,
// then where that index starts and a checksum of everything before it, so that a file the system
// wrote out only in part (a power cut after the run) reads as damaged rather than as a destination
// with fewer files.
//
//   record   u32 count, count × (u8 folder, u64 last write, u64 size, text name)
//   footer   u32 magic, u32 version, u64 run start, u32 volume serial, u64 destination created,
//            u64 destination written, u64 last full listing, text binding,
//            u32 folders, folders × (text relative folder, u64 record offset, u32 record length)
//   end      u64 footer offset, u64 checksum (FNV-1a over all bytes before it)
// A text is a u32 count of UTF-16 units and the units. Numbers are little-endian.
#include "engine/RunState.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "engine/DestinationWait.h"
#include "engine/FileOps.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr uint32_t kMagic = 0x53535756;  // "VWSS"
constexpr uint32_t kVersion = 1;
constexpr uint64_t kChecksumStart = 0xcbf29ce484222325ull;
// The work file is written out in pieces of about this size.
constexpr size_t kFlushBytes = 64 * 1024;

// Goes on from `hash` when a stream is checked in parts.
uint64_t Checksum(const char* data, size_t size, uint64_t hash = kChecksumStart)
{
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

uint64_t Combine(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

template <typename T>
void Put(std::string& out, T value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PutText(std::string& out, const std::wstring& text)
{
    Put(out, static_cast<uint32_t>(text.size()));
    out.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// Reads what Put wrote, never past the end: a damaged file makes it fail, not overrun.
class Reader {
public:
    Reader(const std::string& bytes, size_t at, size_t end) : bytes_(bytes), at_(at), end_(end) {}

    template <typename T>
    bool Get(T& value)
    {
        if (end_ - at_ < sizeof value)
            return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return true;
    }
    bool GetText(std::wstring& text)
    {
        uint32_t length = 0;
        if (!Get(length) || (end_ - at_) / sizeof(wchar_t) < length)
            return false;
        text.resize(length);
        std::memcpy(text.data(), bytes_.data() + at_, length * sizeof(wchar_t));
        at_ += length * sizeof(wchar_t);
        return true;
    }
    bool AtEnd() const { return at_ == end_; }

private:
    const std::string& bytes_;
    size_t at_;
    size_t end_;
};

bool ReadAt(HANDLE file, uint64_t offset, char* data, DWORD size)
{
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ReadFile(file, data, size, &got, nullptr) && got == size;
}

bool WriteAll(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

}  // namespace

uint64_t SystemTimeNow()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return Combine(now);
}

std::wstring RunStatePath(const std::wstring& taskId)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH || taskId.empty())
        return {};
    // A task's id comes from the profile, where anything may have been written into it.
    std::wstring name;
    for (const wchar_t c : taskId) {
        if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'))
            name += c;
        else
            name += Format(L"_%04x", static_cast<unsigned>(c));
    }
    return AppendBackslash(folder) + L"Vaultwren\\RunState\\" + name + L".dat";
}

bool ReadSeal(const std::wstring& destFolder, uint64_t runStart, const std::wstring& binding, RunStateSeal& seal)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD serial = 0;
    const std::wstring root = DestinationRoot(destFolder);
    if (root.empty() || !GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ||
        !GetFileAttributesExW(LongPath(destFolder).c_str(), GetFileExInfoStandard, &data))
        return false;
    seal.runStart = runStart;
    seal.volumeSerial = serial;
    seal.destCreated = Combine(data.ftCreationTime);
    seal.destWritten = Combine(data.ftLastWriteTime);
    seal.binding = binding;
    return true;
}

RunStateRecorder::~RunStateRecorder()
{
    if (file_) {
        file_.reset();
        DeleteFileW(LongPath(path_ + L".new").c_str());
    }
}

bool RunStateRecorder::Open(const std::wstring& path)
{
    path_ = path;
    file_.reset(CreateFileW(LongPath(path + L".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    written_ = 0;
    checksum_ = kChecksumStart;
    failed_ = !file_;
    return !failed_;
}

bool RunStateRecorder::Flush()
{
    if (!failed_ && !pending_.empty()) {
        failed_ = !WriteAll(file_.get(), pending_);
        checksum_ = Checksum(pending_.data(), pending_.size(), checksum_);
        written_ += pending_.size();
    }
    pending_.clear();
    return !failed_;
}

void RunStateRecorder::AddFolder(const std::wstring& relativeFolder, const std::vector<FolderSnapshot::Entry>& entries)
{
    if (failed_)
        return;
    const size_t start = pending_.size();
    Put(pending_, static_cast<uint32_t>(entries.size()));
    for (const FolderSnapshot::Entry& entry : entries) {
        Put(pending_, static_cast<uint8_t>(entry.folder ? 1 : 0));
        Put(pending_, entry.stamp.lastWrite);
        Put(pending_, entry.stamp.size);
        PutText(pending_, entry.name);
    }
    folders_.push_back({relativeFolder, written_ + start, static_cast<uint32_t>(pending_.size() - start)});
    if (pending_.size() >= kFlushBytes)
        Flush();
}

bool RunStateRecorder::Finish(const RunStateSeal& seal, uint64_t fullListing)
{
    if (!file_ || !Flush())
        return false;
    const uint64_t footer = written_;
    Put(pending_, kMagic);
    Put(pending_, kVersion);
    Put(pending_, seal.runStart);
    Put(pending_, seal.volumeSerial);
    Put(pending_, seal.destCreated);
    Put(pending_, seal.destWritten);
    Put(pending_, fullListing);
    PutText(pending_, seal.binding);
    Put(pending_, static_cast<uint32_t>(folders_.size()));
    for (const Folder& folder : folders_) {
        PutText(pending_, folder.relative);
        Put(pending_, folder.offset);
        Put(pending_, folder.length);
        if (pending_.size() >= kFlushBytes && !Flush())
            return false;
    }
    Put(pending_, footer);
    if (!Flush())
        return false;
    std::string end;
    Put(end, checksum_);
    const bool whole = WriteAll(file_.get(), end);
    file_.reset();
    const std::wstring work = LongPath(path_ + L".new");
    if (whole && MoveFileExW(work.c_str(), LongPath(path_).c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileW(work.c_str());
    return false;
}

bool RunState::Load(const std::wstring& path, const RunStateSeal& seal, uint64_t now)
{
    file_.reset();
    folders_.clear();
    fullListing_ = 0;
    // Deleting it while it is open (as the run does once it has read it) leaves it readable.
    UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 16)
        return false;
    const uint64_t total = static_cast<uint64_t>(size.QuadPart);

    // The checksum over the whole file, in pieces.
    std::string piece(kFlushBytes, '\0');
    uint64_t hash = kChecksumStart;
    for (uint64_t at = 0; at < total - 8;) {
        const DWORD part = static_cast<DWORD>(std::min<uint64_t>(piece.size(), total - 8 - at));
        if (!ReadAt(file.get(), at, piece.data(), part))
            return false;
        hash = Checksum(piece.data(), part, hash);
        at += part;
    }
    uint64_t tail[2] = {};
    if (!ReadAt(file.get(), total - 16, reinterpret_cast<char*>(tail), sizeof tail) || tail[1] != hash ||
        tail[0] > total - 16 || total - 16 - tail[0] > 0x7fffffff)
        return false;
    const uint64_t footerOffset = tail[0];
    std::string footer(static_cast<size_t>(total - 16 - footerOffset), '\0');
    if (!ReadAt(file.get(), footerOffset, footer.data(), static_cast<DWORD>(footer.size())))
        return false;

    Reader reader(footer, 0, footer.size());
    uint32_t magic = 0;
    uint32_t version = 0;
    RunStateSeal sealed;
    uint64_t fullListing = 0;
    uint32_t count = 0;
    if (!reader.Get(magic) || magic != kMagic || !reader.Get(version) || version != kVersion ||
        !reader.Get(sealed.runStart) || !reader.Get(sealed.volumeSerial) || !reader.Get(sealed.destCreated) ||
        !reader.Get(sealed.destWritten) || !reader.Get(fullListing) || !reader.GetText(sealed.binding) ||
        !reader.Get(count))
        return false;
    if (!(sealed == seal) || seal.runStart == 0 || now < fullListing || now - fullListing >= kFullListingInterval)
        return false;

    std::unordered_map<std::wstring, Record> folders;
    for (uint32_t i = 0; i < count; ++i) {
        std::wstring folder;
        Record record{};
        if (!reader.GetText(folder) || !reader.Get(record.offset) || !reader.Get(record.length) ||
            record.offset > footerOffset || record.length > footerOffset - record.offset)
            return false;
        folders.insert_or_assign(FoldCase(folder), record);
    }
    if (!reader.AtEnd())
        return false;
    file_ = std::move(file);
    folders_ = std::move(folders);
    fullListing_ = fullListing;
    return true;
}

bool RunState::Fill(const std::wstring& relativeFolder, FolderSnapshot& snapshot)
{
    const auto found = folders_.find(FoldCase(relativeFolder));
    if (!file_ || found == folders_.end())
        return false;
    record_.resize(found->second.length);
    if (!ReadAt(file_.get(), found->second.offset, record_.data(), found->second.length))
        return false;
    Reader reader(record_, 0, record_.size());
    uint32_t count = 0;
    if (!reader.Get(count))
        return false;
    FolderSnapshot entries;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t isFolder = 0;
        FolderSnapshot::Entry entry;
        if (!reader.Get(isFolder) || !reader.Get(entry.stamp.lastWrite) || !reader.Get(entry.stamp.size) ||
            !reader.GetText(entry.name))
            return false;
        entry.folder = isFolder != 0;
        entries.Add(std::move(entry));
    }
    snapshot = std::move(entries);
    return true;
}

}  // namespace vw
