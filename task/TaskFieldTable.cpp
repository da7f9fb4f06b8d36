#include "task/TaskFieldTable.h"

#include <algorithm>
#include <cstdlib>

namespace vw {

namespace {

using F = TaskFields;

constexpr TaskFieldInfo Text(TaskKey key, const wchar_t* name, std::wstring F::*field, FieldKind kind, bool edited)
{
    TaskFieldInfo info{key, name, kind};
    info.text = field;
    info.edited = edited;
    return info;
}

constexpr TaskFieldInfo Number(TaskKey key, const wchar_t* name, int32_t F::*field, FieldKind kind,
                               int32_t newValue, int32_t whenMissing, int32_t low, int32_t high)
{
    TaskFieldInfo info{key, name, kind};
    info.number = field;
    info.newValue = newValue;
    info.whenMissing = whenMissing;
    info.low = low;
    info.high = high;
    info.edited = kind != FieldKind::Position;
    return info;
}

constexpr TaskFieldInfo Switch(TaskKey key, const wchar_t* name, int32_t F::*field, int32_t newValue,
                               int32_t whenMissing)
{
    return Number(key, name, field, FieldKind::Switch, newValue, whenMissing, 0, 1);
}

constexpr TaskFieldInfo Wrapping(TaskFieldInfo info)
{
    info.wraps = true;
    return info;
}

constexpr TaskFieldInfo Time(TaskKey key, const wchar_t* name, DateTime F::*field)
{
    TaskFieldInfo info{key, name, FieldKind::Time};
    info.time = field;
    return info;
}

using K = TaskKey;
using Kind = FieldKind;

constexpr TaskFieldInfo kFields[] = {
    Text(K::Id, L"Id", &F::Id, Kind::Text, false),
    Number(K::Index, L"Index", &F::index, Kind::Position, -1, -1, -1, INT32_MAX),
    Text(K::Name, L"Name", &F::Name, Kind::Text, true),
    Text(K::Source, L"Source", &F::Source, Kind::Folder, true),
    Text(K::Dest, L"Dest", &F::Dest, Kind::Folder, true),
    Switch(K::History, L"History", &F::History, 1, 1),
    Switch(K::RemoveFollow, L"RemoveFollow", &F::RemoveFollow, 1, 1),
    Switch(K::Start, L"Start", &F::Start, 1, 0),
    Number(K::StartTime, L"StartTime", &F::StartTime, Kind::Number, 10, 0, 0, 999),
    Switch(K::Clock, L"Clock", &F::Clock, 0, 0),
    Wrapping(Number(K::ClockHour, L"ClockHour", &F::ClockHour, Kind::Number, 0, 0, 0, 23)),
    Wrapping(Number(K::ClockMinute, L"ClockMinute", &F::ClockMinute, Kind::Number, 0, 0, 0, 59)),
    Number(K::Week, L"Week", &F::Week, Kind::Number, 127, 127, 0, 127),
    Switch(K::AutoTime, L"AutoTime", &F::AutoTime, 0, 0),
    Number(K::AutoMinute, L"AutoMinute", &F::AutoMinute, Kind::Number, 120, kMissingFromMinTime, 60, 9999),
    Time(K::CreateTime, L"CreateTime", &F::CreateTime),
    Time(K::LastTime, L"LastTime", &F::LastTime),
};
static_assert(std::size(kFields) == static_cast<size_t>(TaskKey::RemoveFollow) + 1);

int32_t OnOff(int32_t value)
{
    return value != 0 ? 1 : 0;
}

}  // namespace

std::span<const TaskFieldInfo> TaskFieldTable()
{
    return kFields;
}

const TaskFieldInfo& FieldOf(TaskKey key)
{
    const auto found = std::find_if(std::begin(kFields), std::end(kFields),
                                    [key](const TaskFieldInfo& field) { return field.key == key; });
    if (found == std::end(kFields))
        std::abort();  // every key is in the table (checked above)
    return *found;
}

int32_t MissingNumber(const TaskFieldInfo& field, int32_t minTime)
{
    if (field.whenMissing != kMissingFromMinTime)
        return field.whenMissing;
    return static_cast<uint32_t>(minTime) >= 61 ? minTime : 60;
}

// A new task: every field as the table gives it; texts start empty and times at never.
TaskFields::TaskFields()
{
    for (const TaskFieldInfo& field : kFields) {
        if (field.number)
            this->*field.number = field.newValue;
    }
}

bool SameEditedFields(const TaskFields& a, const TaskFields& b)
{
    return std::all_of(std::begin(kFields), std::end(kFields), [&](const TaskFieldInfo& field) {
        if (!field.edited)
            return true;
        if (field.text)
            return a.*field.text == b.*field.text;
        if (field.kind == FieldKind::Switch)
            return OnOff(a.*field.number) == OnOff(b.*field.number);
        return a.*field.number == b.*field.number;
    });
}

void CopyEditedFields(const TaskFields& from, TaskFields& to)
{
    for (const TaskFieldInfo& field : kFields) {
        if (!field.edited)
            continue;
        if (field.text) {
            to.*field.text = from.*field.text;
            continue;
        }
        int32_t value = from.*field.number;
        if (field.kind == FieldKind::Switch)
            value = OnOff(value);
        else if (field.wraps)
            value = static_cast<int32_t>(static_cast<uint32_t>(value) % static_cast<uint32_t>(field.high + 1));
        to.*field.number = value;
    }
}

}  // namespace vw
