#include "task/CBackupItemList.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/Text.h"

namespace vw {

namespace {

constexpr wchar_t kProjectSection[] = L"Project";
constexpr wchar_t kCountEntry[] = L"Count";
constexpr wchar_t kIndexEntry[] = L"Index";

std::wstring ComputerName()
{
    wchar_t buffer[261] = {};
    DWORD size = 261;
    if (!GetComputerNameW(buffer, &size))
        return {};
    return TrimWhiteSpace(std::wstring_view(buffer, size));
}

// The positions below `count` that have a section, in order. A damaged "Count" (say 0x7FFFFFFF)
// then costs one look at the sections there are, not one registry open per number it claims.
std::vector<int> StoredPositions(const ProfileStore& profile, int count)
{
    constexpr std::wstring_view kPrefix = L"Item";
    std::vector<int> positions;
    for (const std::wstring& name : profile.SectionNames()) {
        if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 10 ||
            !EqualsIgnoringCase(name.substr(0, kPrefix.size()), kPrefix))
            continue;
        const std::wstring digits = name.substr(kPrefix.size());
        // Only the spelling "Item%d" writes: no sign, no leading zero.
        if (digits.find_first_not_of(L"0123456789") != std::wstring::npos || (digits[0] == L'0' && digits.size() > 1))
            continue;
        const long long position = std::stoll(digits);
        if (position < count)
            positions.push_back(static_cast<int>(position));
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

}  // namespace

CBackupItemList::CBackupItemList(ProfileStore& profile, const AppSettings& settings)
    : profile_(profile), settings_(settings)
{
}

std::unique_ptr<CBackupItem> CBackupItemList::CreateTask()
{
    return std::make_unique<CBackupItem>(profile_, settings_, nextTimerId_++);
}

bool CBackupItemList::WriteCount()
{
    return profile_.SetInt(kProjectSection, kCountEntry, static_cast<int>(tasks_.size()));
}

bool CBackupItemList::LoadAll(bool repair)
{
    DeleteAll();
    // A "Count" that is missing or not a number says nothing: the sections there are tell.
    int stored = 0;
    const bool countRead = profile_.TryGetInt(kProjectSection, kCountEntry, stored) && stored >= 0;
    if (!countRead)
        stored = INT_MAX;
    if (stored == 0)
        return true;

    // A position without a section is skipped: the tasks after it move up below.
    Tasks found;
    for (const int i : StoredPositions(profile_, stored)) {
        std::unique_ptr<CBackupItem> task = CreateTask();
        task->index = i;
        // Whatever else is damaged keeps its default: a task with one bad value beats a lost task.
        for (const TaskFieldInfo& field : TaskFieldTable()) {
            if (field.kind != FieldKind::Position)
                task->LoadKey(field.key);
        }
        found.push_back(std::move(task));
    }

    // A move cut short leaves one task in two sections. The copy that was written whole is the task;
    // when neither is, the first one. The other is dropped, and its section is overwritten or removed
    // below.
    std::vector<int> dropped;
    for (size_t i = 0; i < found.size(); ++i) {
        if (!found[i] || found[i]->Id.empty())
            continue;
        std::vector<size_t> copies{i};
        for (size_t j = i + 1; j < found.size(); ++j) {
            if (found[j] && found[j]->Id == found[i]->Id)
                copies.push_back(j);
        }
        if (copies.size() == 1)
            continue;
        const auto whole = std::find_if(copies.begin(), copies.end(), [&](size_t c) { return found[c]->IsStoredWhole(); });
        const size_t kept = whole != copies.end() ? *whole : copies.front();
        for (size_t c : copies) {
            if (c != kept) {
                dropped.push_back(found[c]->index);
                found[c].reset();
            }
        }
    }

    bool repaired = repair;
    for (auto& task : found) {
        if (!task)
            continue;
        const std::wstring section = task->SectionName();
        if (repair && profile_.GetInt(section, kIndexEntry, -1) != task->index &&
            !profile_.SetInt(section, kIndexEntry, task->index))
            repaired = false;
        tasks_.push_back(std::move(task));
    }

    // Close the gaps of missing and dropped sections, lowest position first: every section written
    // here is empty, dropped or already copied further down. It is cleared first, so a write cut short
    // leaves a section that is not whole, and the new section is written before the old one goes:
    // an interruption leaves a task twice, never lost.
    for (size_t position = 0; position < tasks_.size(); ++position) {
        CBackupItem& task = *tasks_[position];
        if (task.index == static_cast<int32_t>(position))
            continue;
        const std::wstring oldSection = task.SectionName();
        task.index = static_cast<int32_t>(position);
        if (!repaired)
            continue;
        if (profile_.RemoveSection(task.SectionName()) && task.Save())
            profile_.RemoveSection(oldSection);
        else
            repaired = false;
    }
    // With a move left undone the old "Count" still covers every stored section; the next load
    // repairs again.
    if (repaired && (!countRead || tasks_.size() != static_cast<size_t>(stored)))
        repaired = WriteCount();
    if (repaired) {
        for (int position : dropped) {
            if (position >= static_cast<int>(tasks_.size()))
                profile_.RemoveSection(Format(L"Item%d", position));
        }
    }
    return repaired || !repair;
}

std::wstring CBackupItemList::MakeId() const
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Format(L"%s%04d%02d%02d%02d%02d%02d%04d", ComputerName().c_str(), now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

std::unique_ptr<CBackupItem> CBackupItemList::MakeNew()
{
    std::unique_ptr<CBackupItem> task = CreateTask();
    task->index = static_cast<int32_t>(tasks_.size());

    for (int k = task->index + 1;; ++k) {
        std::wstring name = Format(L"任务%d", k);
        if (IsNameUnique(name)) {
            task->Name = std::move(name);
            break;
        }
    }

    // The local clock may tick coarser than a millisecond (or be set back): an Id already in the
    // list would tie two tasks to one destination marker section.
    task->Id = MakeId();
    while (std::any_of(tasks_.begin(), tasks_.end(), [&](const auto& other) { return other->Id == task->Id; })) {
        Sleep(1);
        task->Id = MakeId();
    }
    Sleep(1);  // the next task created right after gets a later Id
    return task;
}

CBackupItem* CBackupItemList::Append(std::unique_ptr<CBackupItem> task)
{
    CBackupItem& listed = ListUnstored(std::move(task));
    if (StoreNew(listed))
        return &listed;
    DropNew(listed);
    return nullptr;
}

CBackupItem& CBackupItemList::ListUnstored(std::unique_ptr<CBackupItem> task)
{
    task->index = static_cast<int32_t>(tasks_.size());
    tasks_.push_back(std::move(task));
    return *tasks_.back();
}

bool CBackupItemList::StoreNew(CBackupItem& task)
{
    if (tasks_.empty() || tasks_.back().get() != &task)
        return false;
    // The section goes first, whole, where "Count" does not reach yet; only the new "Count" makes it
    // a task. Whatever an interruption leaves beyond "Count" is ignored and overwritten by the next
    // new task.
    const std::wstring section = task.SectionName();
    if (!profile_.RemoveSection(section) || !task.Save())
        return false;
    if (WriteCount())
        return true;
    profile_.RemoveSection(section);
    return false;
}

void CBackupItemList::DropNew(CBackupItem& task)
{
    if (!tasks_.empty() && tasks_.back().get() == &task)
        tasks_.pop_back();
}

CBackupItem* CBackupItemList::AddNew()
{
    return Append(MakeNew());
}

bool CBackupItemList::Remove(CBackupItem& task)
{
    const int32_t position = task.index;
    if (position < 0 || static_cast<size_t>(position) >= tasks_.size() || tasks_[position].get() != &task)
        return false;
    if (!task.DeleteSection())
        return false;
    tasks_.erase(tasks_.begin() + position);

    // Each follower's new section is written before its old one goes, so an interruption leaves
    // a task twice rather than not at all. After a failed write nothing more is moved and "Count"
    // keeps covering the old sections, so the next load still finds every task.
    bool saved = true;
    for (size_t j = static_cast<size_t>(position); j < tasks_.size(); ++j) {
        CBackupItem& moved = *tasks_[j];
        const std::wstring oldSection = moved.SectionName();
        moved.index = static_cast<int32_t>(j);
        if (!saved)
            continue;
        saved = moved.Save();
        if (saved)
            profile_.RemoveSection(oldSection);
    }
    return saved && WriteCount();
}

std::vector<CBackupItemList::ProfileWrite> CBackupItemList::SwapWrites(int a, int b) const
{
    CBackupItem& first = *tasks_[a];
    CBackupItem& second = *tasks_[b];
    const int spare = static_cast<int>(tasks_.size());
    std::vector<ProfileWrite> writes;
    auto removeSection = [&](int position) {
        writes.push_back([this, position] { return profile_.RemoveSection(Format(L"Item%d", position)); });
    };
    auto writeCount = [&](int count) {
        writes.push_back([this, count] { return profile_.SetInt(kProjectSection, kCountEntry, count); });
    };
    // Into a cleared section, so a write cut short leaves a section that is not whole.
    auto saveInto = [&](CBackupItem& task, int position) {
        removeSection(position);
        TaskSnapshot snapshot = task.Snapshot();
        snapshot.index = position;
        for (const TaskFieldInfo& field : TaskFieldTable())
            writes.push_back([&task, snapshot, key = field.key] { return task.WriteKey(snapshot, key); });
    };
    // The first task is copied whole to a spare section beyond the list, which the new "Count" then
    // covers; only then are the two sections rewritten, each cleared first. At every step each task
    // is whole in at least one section, and loading keeps one whole copy of a task stored twice.
    saveInto(first, spare);
    writeCount(spare + 1);
    saveInto(second, a);
    saveInto(first, b);
    writeCount(spare);
    removeSection(spare);
    return writes;
}

bool CBackupItemList::Swap(int a, int b)
{
    const int count = static_cast<int>(tasks_.size());
    if (a == b || a < 0 || b < 0 || a >= count || b >= count)
        return false;
    for (const ProfileWrite& write : SwapWrites(a, b)) {
        if (!write()) {
            FollowStoredOrder();
            return false;
        }
    }
    std::swap(tasks_[a], tasks_[b]);
    tasks_[a]->index = a;
    tasks_[b]->index = b;
    return true;
}

void CBackupItemList::FollowStoredOrder()
{
    // The profile as the next start would load it, repaired where it can be; the tasks keep their
    // objects (timers, queue entries) and take the positions found there.
    CBackupItemList stored(profile_, settings_);
    stored.LoadAll();
    Tasks ordered;
    for (const auto& found : stored.tasks_) {
        const auto match = std::find_if(tasks_.begin(), tasks_.end(), [&](const auto& task) { return task && task->Id == found->Id; });
        if (match == tasks_.end())
            continue;
        (*match)->index = found->index;
        ordered.push_back(std::move(*match));
    }
    // A task the profile does not show (it cannot be read back) stays listed after the others.
    for (auto& task : tasks_) {
        if (task) {
            task->index = static_cast<int32_t>(ordered.size());
            ordered.push_back(std::move(task));
        }
    }
    tasks_ = std::move(ordered);
}

CBackupItem* CBackupItemList::FindByTimerId(int32_t timerId) const
{
    for (const auto& task : tasks_) {
        if (task->timerId == timerId)
            return task.get();
    }
    return nullptr;
}

bool CBackupItemList::IsNameUnique(const std::wstring& name) const
{
    for (const auto& task : tasks_) {
        if (EqualsIgnoringCase(task->Name, name))
            return false;
    }
    return true;
}

void CBackupItemList::DeleteAll()
{
    tasks_.clear();
}

}  // namespace vw
