#include "task/CBackupItem.h"

#include <iterator>
#include <utility>

#include "task/AppSettings.h"
#include "task/RunKind.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/Text.h"

namespace vw {

namespace {

// Entry names in TaskKey order.
constexpr const wchar_t* kKeyNames[] = {
    L"Index",      L"Id",   L"Name",        L"Source",    L"Dest",     L"Start",
    L"StartTime",  L"Clock", L"ClockHour",  L"ClockMinute", L"Week",   L"AutoTime",
    L"AutoMinute", L"CreateTime", L"LastTime", L"History", L"RemoveFollow",
};
static_assert(std::size(kKeyNames) == static_cast<size_t>(TaskKey::RemoveFollow) + 1);

// The order of a whole-section write and read. The Id leads, so a section cut short by a failed write
// still names its task and loading takes the task's whole copy instead (see CBackupItemList).
constexpr TaskKey kSaveOrder[] = {
    TaskKey::Id,        TaskKey::Index,       TaskKey::Name,        TaskKey::Source,    TaskKey::Dest,
    TaskKey::History,   TaskKey::RemoveFollow, TaskKey::Start,     TaskKey::StartTime, TaskKey::Clock,
    TaskKey::ClockHour, TaskKey::ClockMinute, TaskKey::Week,       TaskKey::AutoTime,  TaskKey::AutoMinute,
    TaskKey::CreateTime, TaskKey::LastTime,
};
static_assert(std::size(kSaveOrder) == std::size(kKeyNames));

}  // namespace

std::span<const TaskKey> SaveOrder()
{
    return kSaveOrder;
}

namespace {

const wchar_t* KeyName(TaskKey key)
{
    return kKeyNames[static_cast<int>(key)];
}

// A time that is not valid is stored as never: "Invalid DateTime" or an empty text would not read back
// as a time, and a reader that refuses such a section would drop the whole task.
std::wstring StoredTimeText(const DateTime& time)
{
    return FormatDateTime(time.IsValid() ? time : DateTime::Never());
}

}  // namespace

CBackupItem::CBackupItem(ProfileStore& profile, const AppSettings& settings, int32_t timerId)
    : timerId(timerId), profile_(profile), settings_(settings)
{
}

std::wstring CBackupItem::SectionName() const
{
    return Format(L"Item%d", index);
}

bool CBackupItem::LoadKey(TaskKey key)
{
    if (index < 0)
        return false;
    const std::wstring section = SectionName();
    const wchar_t* name = KeyName(key);
    // The value is read first and stored under the lock, so no reader waits for the registry.
    auto store = [this](auto& field, auto value) {
        std::lock_guard lock(fieldsLock_);
        field = std::move(value);
        return true;
    };
    auto readInt = [&](int32_t& field, int defaultValue) {
        return store(field, static_cast<int32_t>(profile_.GetInt(section, name, defaultValue)));
    };
    auto readText = [&](std::wstring& field) { return store(field, profile_.GetString(section, name, L"")); };
    auto readFolder = [&](std::wstring& field) {
        return store(field, NormaliseFolderEntry(profile_.GetString(section, name, L"")));
    };
    // A time that cannot be read must not cost the task: it reads as never, as a task that never ran.
    auto readTime = [&](DateTime& field) {
        DateTime time;
        if (!ParseDateTime(profile_.GetString(section, name, FormatDateTime(DateTime::Never())), time))
            time = DateTime::Never();
        return store(field, time);
    };

    switch (key) {
    case TaskKey::Index:
        return profile_.GetInt(section, name, -1) == index;
    case TaskKey::Id:
        return readText(Id);
    case TaskKey::Name:
        return readText(Name);
    case TaskKey::Source:
        return readFolder(Source);
    case TaskKey::Dest:
        return readFolder(Dest);
    case TaskKey::Start:
        return readInt(Start, 0);
    case TaskKey::StartTime:
        return readInt(StartTime, 0);
    case TaskKey::Clock:
        return readInt(Clock, 0);
    case TaskKey::ClockHour:
        return readInt(ClockHour, 0);
    case TaskKey::ClockMinute:
        return readInt(ClockMinute, 0);
    case TaskKey::Week:
        return readInt(Week, 127);
    case TaskKey::AutoTime:
        return readInt(AutoTime, 0);
    case TaskKey::AutoMinute: {
        const int32_t minTime = settings_.MinTime.load();
        return readInt(AutoMinute, static_cast<uint32_t>(minTime) >= 61 ? minTime : 60);
    }
    case TaskKey::CreateTime:
        return readTime(CreateTime);
    case TaskKey::LastTime:
        return readTime(LastTime);
    case TaskKey::History:
        return readInt(History, 1);
    case TaskKey::RemoveFollow:
        return readInt(RemoveFollow, 1);
    }
    return false;
}

bool CBackupItem::Load()
{
    if (!LoadKey(TaskKey::Index))
        return false;
    bool ok = true;
    for (TaskKey key : kSaveOrder) {
        if (key != TaskKey::Index)
            ok = LoadKey(key) && ok;
    }
    return ok;
}

bool CBackupItem::SaveKey(TaskKey key)
{
    return WriteKey(Snapshot(), key);
}

bool CBackupItem::Save()
{
    // One copy for the whole section: a field a worker changes meanwhile is stored by its own setter.
    const TaskSnapshot task = Snapshot();
    for (TaskKey key : kSaveOrder) {
        if (!WriteKey(task, key))
            return false;
    }
    return true;
}

bool CBackupItem::WriteKey(const TaskSnapshot& task, TaskKey key)
{
    if (task.index < 0)
        return false;
    const std::wstring section = Format(L"Item%d", task.index);
    const wchar_t* name = KeyName(key);
    switch (key) {
    case TaskKey::Index:
        return profile_.SetInt(section, name, task.index);
    case TaskKey::Id:
        return profile_.SetString(section, name, task.Id);
    case TaskKey::Name:
        return profile_.SetString(section, name, task.Name);
    case TaskKey::Source:
        return profile_.SetString(section, name, task.Source);
    case TaskKey::Dest:
        return profile_.SetString(section, name, task.Dest);
    case TaskKey::Start:
        return profile_.SetInt(section, name, task.Start);
    case TaskKey::StartTime:
        return profile_.SetInt(section, name, task.StartTime);
    case TaskKey::Clock:
        return profile_.SetInt(section, name, task.Clock);
    case TaskKey::ClockHour:
        return profile_.SetInt(section, name, task.ClockHour);
    case TaskKey::ClockMinute:
        return profile_.SetInt(section, name, task.ClockMinute);
    case TaskKey::Week:
        return profile_.SetInt(section, name, task.Week);
    case TaskKey::AutoTime:
        return profile_.SetInt(section, name, task.AutoTime);
    case TaskKey::AutoMinute:
        return profile_.SetInt(section, name, task.AutoMinute);
    case TaskKey::CreateTime:
        return profile_.SetString(section, name, StoredTimeText(task.CreateTime));
    case TaskKey::LastTime:
        return profile_.SetString(section, name, StoredTimeText(task.LastTime));
    case TaskKey::History:
        return profile_.SetInt(section, name, task.History);
    case TaskKey::RemoveFollow:
        return profile_.SetInt(section, name, task.RemoveFollow);
    }
    return false;
}

bool CBackupItem::IsStoredWhole() const
{
    if (index < 0)
        return false;
    const std::wstring section = SectionName();
    for (TaskKey key : kSaveOrder) {
        if (!profile_.EntryExists(section, KeyName(key)))
            return false;
    }
    return true;
}

bool CBackupItem::DeleteSection()
{
    return index >= 0 && profile_.RemoveSection(SectionName());
}

void CBackupItem::SetLastTime(const DateTime& time, bool save)
{
    {
        std::lock_guard lock(fieldsLock_);
        LastTime = time;
    }
    if (save && index >= 0)
        SaveKey(TaskKey::LastTime);
}

void CBackupItem::SetDest(const std::wstring& dest, bool save)
{
    {
        std::lock_guard lock(fieldsLock_);
        Dest = dest;
    }
    if (save && index >= 0)
        SaveKey(TaskKey::Dest);
}

void CBackupItem::SetCreateTime(const DateTime& time, bool save)
{
    {
        std::lock_guard lock(fieldsLock_);
        CreateTime = time;
    }
    if (save && index >= 0)
        SaveKey(TaskKey::CreateTime);
}

void CBackupItem::SetNextTime(const DateTime& time)
{
    std::lock_guard lock(fieldsLock_);
    NextTime = time;
}

TaskSnapshot CBackupItem::Snapshot() const
{
    TaskSnapshot copy;
    {
        std::lock_guard lock(fieldsLock_);
        static_cast<TaskFields&>(copy) = *this;
    }
    copy.state = static_cast<TaskState>(state.load());
    copy.result = result.load();
    return copy;
}

std::wstring CBackupItem::GetStatusText(int32_t runKind) const
{
    TaskSnapshot now;
    now.state = static_cast<TaskState>(state.load());
    now.result = result.load();
    return TaskStatusText(now, runKind);
}

std::wstring TaskStatusText(const TaskSnapshot& task, int32_t runKind)
{
    switch (task.state) {
    case kTaskIdle:
        switch (task.result) {
        case 0:
            return L"";
        case 15:
        case 100004:
        case 100005:
        case 100007:
        case 100008:
        case 100009:
            return L"路径错误";
        case 8:
        case 14:
            return L"内存不足";
        case 39:
            return L"磁盘已满";
        case 1235:
            return L"备份终止";
        case 240:
            return L"清理终止";
        default:
            return std::wstring(RunKindWord(runKind)) + L"出错";
        }
    case kTaskWaiting:
        return L"等待备份";
    case kTaskPaused:
        return L"暂停";
    case kTaskRunning:
        return std::wstring(L"正在") + RunKindWord(runKind);
    default:
        return L"";
    }
}

}  // namespace vw
