#include "task/CBackupItem.h"

#include <utility>

#include "task/AppSettings.h"
#include "task/RunKind.h"
#include "win/Format.h"
#include "win/ProfileStore.h"
#include "win/Text.h"

namespace vw {

namespace {

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
    const TaskFieldInfo& field = FieldOf(key);
    const std::wstring section = SectionName();
    if (field.kind == FieldKind::Position)
        return profile_.GetInt(section, field.name, field.whenMissing) == index;

    // The value is read first and stored under the lock, so no reader waits for the registry.
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Folder: {
        std::wstring value = profile_.GetString(section, field.name, L"");
        if (field.kind == FieldKind::Folder)
            value = NormaliseFolderEntry(value);
        std::lock_guard lock(fieldsLock_);
        this->*field.text = std::move(value);
        return true;
    }
    case FieldKind::Time: {
        // A time that cannot be read must not cost the task: it reads as never, as a task that never ran.
        DateTime value;
        if (!ParseDateTime(profile_.GetString(section, field.name, FormatDateTime(DateTime::Never())), value))
            value = DateTime::Never();
        std::lock_guard lock(fieldsLock_);
        this->*field.time = value;
        return true;
    }
    default: {
        const int32_t value = static_cast<int32_t>(
            profile_.GetInt(section, field.name, MissingNumber(field, settings_.MinTime.load())));
        std::lock_guard lock(fieldsLock_);
        this->*field.number = value;
        return true;
    }
    }
}

bool CBackupItem::Load()
{
    if (!LoadKey(TaskKey::Index))
        return false;
    bool ok = true;
    for (const TaskFieldInfo& field : TaskFieldTable()) {
        if (field.kind != FieldKind::Position)
            ok = LoadKey(field.key) && ok;
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
    for (const TaskFieldInfo& field : TaskFieldTable()) {
        if (!WriteKey(task, field.key))
            return false;
    }
    return true;
}

bool CBackupItem::WriteKey(const TaskSnapshot& task, TaskKey key)
{
    if (task.index < 0)
        return false;
    const TaskFieldInfo& field = FieldOf(key);
    const std::wstring section = Format(L"Item%d", task.index);
    if (field.text)
        return profile_.SetString(section, field.name, task.*field.text);
    if (field.time)
        return profile_.SetString(section, field.name, StoredTimeText(task.*field.time));
    return profile_.SetInt(section, field.name, task.*field.number);
}

bool CBackupItem::IsStoredWhole() const
{
    if (index < 0)
        return false;
    const std::wstring section = SectionName();
    for (const TaskFieldInfo& field : TaskFieldTable()) {
        if (!profile_.EntryExists(section, field.name))
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

void CBackupItem::SetEditedFields(const TaskFields& entries)
{
    std::lock_guard lock(fieldsLock_);
    CopyEditedFields(entries, *this);
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
