// The state file: a header with the seal, one record per destination folder, and a checksum of
// everything before it, so that a file the system wrote out only in part (a power cut after the
// run) reads as damaged rather than as a destination with fewer files.
//
//   header   u32 magic, u32 version, u64 run start, u32 volume serial, u64 destination created,
//            u64 destination written, u64 last full listing, text binding
//   record   text folder, u32 count, count × (u8 folder, u64 last write, u64 size, text name)
//   end      u64 checksum (FNV-1a over all bytes before it)
// A text is a u32 count of UTF-16 units and the units. Numbers are little-endian.
#include "engine/RunState.h"

#include <windows.h>

#include <cstring>

#include "engine/DestinationWait.h"
#include "engine/FileOps.h"
#include "win/Format.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

constexpr uint32_t kMagic = 0x53535756;  // "VWSS"
constexpr uint32_t kVersion = 1;

// Goes on from `hash` when a stream is checked in parts.
uint64_t Checksum(const char* data, size_t size, uint64_t hash = 0xcbf29ce484222325ull)
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
    bool SkipEntries(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t length = 0;
            const size_t fixed = 1 + 2 * sizeof(uint64_t);
            if (end_ - at_ < fixed)
                return false;
            at_ += fixed;
            if (!Get(length) || (end_ - at_) / sizeof(wchar_t) < length)
                return false;
            at_ += length * sizeof(wchar_t);
        }
        return true;
    }
    size_t At() const { return at_; }
    bool AtEnd() const { return at_ == end_; }

private:
    const std::string& bytes_;
    size_t at_;
    size_t end_;
};

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7fffffff)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
}

}  // namespace

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

void RunStateRecorder::AddFolder(const std::wstring& relativeFolder, const std::vector<FolderSnapshot::Entry>& entries)
{
    PutText(records_, relativeFolder);
    Put(records_, static_cast<uint32_t>(entries.size()));
    for (const FolderSnapshot::Entry& entry : entries) {
        Put(records_, static_cast<uint8_t>(entry.folder ? 1 : 0));
        Put(records_, entry.stamp.lastWrite);
        Put(records_, entry.stamp.size);
        PutText(records_, entry.name);
    }
}

bool RunStateRecorder::Save(const std::wstring& path, const RunStateSeal& seal, uint64_t fullListing) const
{
    std::string header;
    Put(header, kMagic);
    Put(header, kVersion);
    Put(header, seal.runStart);
    Put(header, seal.volumeSerial);
    Put(header, seal.destCreated);
    Put(header, seal.destWritten);
    Put(header, fullListing);
    PutText(header, seal.binding);
    // The checksum runs over the header and the records as one stream.
    std::string end;
    Put(end, Checksum(records_.data(), records_.size(), Checksum(header.data(), header.size())));

    const UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const std::string* const parts[] = {&header, &records_, &end};
    for (const std::string* part : parts) {
        DWORD written = 0;
        if (!WriteFile(file.get(), part->data(), static_cast<DWORD>(part->size()), &written, nullptr) ||
            written != part->size())
            return false;
    }
    return true;
}

bool RunState::Load(const std::wstring& path, const RunStateSeal& seal, uint64_t now)
{
    bytes_.clear();
    folders_.clear();
    fullListing_ = 0;
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() < sizeof(uint64_t))
        return false;
    const size_t end = bytes.size() - sizeof(uint64_t);
    uint64_t stored = 0;
    std::memcpy(&stored, bytes.data() + end, sizeof stored);
    if (stored != Checksum(bytes.data(), end))
        return false;

    Reader reader(bytes, 0, end);
    uint32_t magic = 0;
    uint32_t version = 0;
    RunStateSeal sealed;
    uint64_t fullListing = 0;
    if (!reader.Get(magic) || magic != kMagic || !reader.Get(version) || version != kVersion ||
        !reader.Get(sealed.runStart) || !reader.Get(sealed.volumeSerial) || !reader.Get(sealed.destCreated) ||
        !reader.Get(sealed.destWritten) || !reader.Get(fullListing) || !reader.GetText(sealed.binding))
        return false;
    if (!(sealed == seal) || seal.runStart == 0 || now < fullListing || now - fullListing >= kFullListingInterval)
        return false;

    std::unordered_map<std::wstring, size_t> folders;
    while (!reader.AtEnd()) {
        std::wstring folder;
        const size_t at = reader.At();
        uint32_t count = 0;
        if (!reader.GetText(folder) || !reader.Get(count) || !reader.SkipEntries(count))
            return false;
        folders.insert_or_assign(FoldCase(folder), at);
    }
    bytes_ = std::move(bytes);
    folders_ = std::move(folders);
    fullListing_ = fullListing;
    return true;
}

bool RunState::Fill(const std::wstring& relativeFolder, FolderSnapshot& snapshot) const
{
    const auto found = folders_.find(FoldCase(relativeFolder));
    if (found == folders_.end())
        return false;
    // Load checked every record whole.
    Reader reader(bytes_, found->second, bytes_.size() - sizeof(uint64_t));
    std::wstring folder;
    uint32_t count = 0;
    reader.GetText(folder);
    reader.Get(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t isFolder = 0;
        FolderSnapshot::Entry entry;
        reader.Get(isFolder);
        reader.Get(entry.stamp.lastWrite);
        reader.Get(entry.stamp.size);
        reader.GetText(entry.name);
        entry.folder = isFolder != 0;
        snapshot.Add(std::move(entry));
    }
    return true;
}

}  // namespace vw
