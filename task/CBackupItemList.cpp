#include "task/CBackupItemList.h"

#include <windows.h>

#include <algorithm>
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

bool CBackupItemList::LoadAll()
{
    DeleteAll();
    const int stored = profile_.GetInt(kProjectSection, kCountEntry, 0);
    if (stored <= 0)
        return true;

    bool repaired = true;
    // A position without a section is skipped: the tasks after it move up below.
    for (const int i : StoredPositions(profile_, stored)) {
        const std::wstring section = Format(L"Item%d", i);
        std::unique_ptr<CBackupItem> task = CreateTask();
        task->index = i;
        if (profile_.GetInt(section, kIndexEntry, -1) != i && !profile_.SetInt(section, kIndexEntry, i))
            repaired = false;
        // Whatever else is damaged keeps its default: a task with one bad value beats a lost task.
        if (!task->Load() && !task->LoadKey(TaskKey::Index)) {
            for (int key = static_cast<int>(TaskKey::Id); key <= static_cast<int>(TaskKey::RemoveFollow); ++key)
                task->LoadKey(static_cast<TaskKey>(key));
        }
        tasks_.push_back(std::move(task));
    }

    // Close the gaps of missing sections, lowest position first: every section written here is
    // already empty or already copied further down. The new section is written before the old
    // one goes, so an interruption leaves a task twice, never lost.
    for (size_t position = 0; position < tasks_.size(); ++position) {
        CBackupItem& task = *tasks_[position];
        if (task.index == static_cast<int32_t>(position))
            continue;
        const std::wstring oldSection = task.SectionName();
        task.index = static_cast<int32_t>(position);
        if (!repaired)
            continue;
        if (task.Save())
            profile_.RemoveSection(oldSection);
        else
            repaired = false;
    }
    // With a move left undone the old "Count" still covers every stored section; the next load
    // repairs again.
    if (repaired && tasks_.size() != static_cast<size_t>(stored))
        repaired = WriteCount();
    return repaired;
}

std::wstring CBackupItemList::MakeId() const
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Format(L"%s%04d%02d%02d%02d%02d%02d%04d", ComputerName().c_str(), now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

CBackupItem* CBackupItemList::AddNew()
{
    tasks_.push_back(CreateTask());
    CBackupItem& task = *tasks_.back();
    task.index = static_cast<int32_t>(tasks_.size() - 1);

    for (int k = task.index + 1;; ++k) {
        std::wstring name = Format(L"任务%d", k);
        if (IsNameUnique(name)) {
            task.Name = std::move(name);
            break;
        }
    }

    // The local clock may tick coarser than a millisecond (or be set back): an Id already in the
    // list would tie two tasks to one destination marker section.
    task.Id = MakeId();
    while (std::any_of(tasks_.begin(), tasks_.end() - 1, [&](const auto& other) { return other->Id == task.Id; })) {
        Sleep(1);
        task.Id = MakeId();
    }

    if (task.Save()) {
        Sleep(1);  // the next task created right after gets a later Id
        // Without the new "Count" the task would be gone at the next start although the user saw
        // it added.
        if (WriteCount())
            return &task;
    }
    // What was written lies beyond "Count", where it is ignored and the next new task overwrites it.
    tasks_.pop_back();
    return nullptr;
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

bool CBackupItemList::Swap(int a, int b)
{
    const int count = static_cast<int>(tasks_.size());
    if (a == b || a < 0 || b < 0 || a >= count || b >= count)
        return false;
    std::swap(tasks_[a], tasks_[b]);
    tasks_[a]->index = a;
    tasks_[b]->index = b;
    return tasks_[a]->Save() && tasks_[b]->Save();
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
