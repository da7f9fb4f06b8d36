#include "cmd/Commands.h"

#include <windows.h>

#include <cstdlib>
#include <cwctype>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "cmd/BatchLoop.h"
#include "cmd/Console.h"
#include "cmd/ProfileWriteGuard.h"
#include "engine/FileOps.h"
#include "engine/RestorePass.h"
#include "engine/RunContext.h"
#include "engine/SystemErrorText.h"
#include "run/RunController.h"
#include "task/AppSettings.h"
#include "task/CBackupItemList.h"
#include "task/TaskEntries.h"
#include "task/TaskInput.h"
#include "task/TaskReset.h"
#include "win/Format.h"
#include "win/InstanceName.h"
#include "win/ProfileStore.h"
#include "win/Text.h"
#include "win/UniqueHandle.h"

namespace vw {

namespace {

std::wstring ProfileKey()
{
    // Lets tests and side-by-side installations work on a profile of their own.
    wchar_t buffer[512];
    const DWORD length = GetEnvironmentVariableW(L"VAULTWREN_PROFILE_KEY", buffer, 512);
    return length > 0 && length < 512 ? std::wstring(buffer, length) : std::wstring(kProgramProfileKey);
}

int Refuse(const std::wstring& text)
{
    Console::Err(text + L"\r\n");
    return kExitBadInput;
}

// Everything a command works on, loaded the way the program loads it at start-up. A session that
// only reads (list) writes nothing: no repair, no default filled in, no profile made.
class Session {
public:
    explicit Session(bool readOnly)
        : profile(ProfileKey()), context(settings), tasks(profile, settings), controller(tasks, context, settings)
    {
        if (readOnly) {
            ReadSettings(profile, settings);
        } else {
            LoadSettings(profile, settings);
        }
        tasks.LoadAll(!readOnly);
    }

    // A task by its 1-based number or its name (without regard to case). A name made of digits
    // that stands for another task than the one at that number is refused: `remove 2` must not
    // remove the wrong task. `refusal` then says why; nullptr with an empty `refusal`: no such task.
    CBackupItem* Find(const std::wstring& given, std::wstring& refusal) const
    {
        refusal.clear();
        CBackupItem* byName = nullptr;
        for (const auto& task : tasks) {
            if (EqualsIgnoringCase(task->Name, given)) {
                byName = task.get();
                break;
            }
        }
        CBackupItem* byNumber = nullptr;
        if (!given.empty() && given.size() <= 9 && given.find_first_not_of(L"0123456789") == std::wstring::npos) {
            const unsigned long number = wcstoul(given.c_str(), nullptr, 10);
            if (number >= 1 && number <= tasks.size())
                byNumber = &tasks[number - 1];
        }
        if (byName && byNumber && byName != byNumber) {
            refusal = Format(L"“%s”既是任务“%s”的序号，又是另一个任务的名称，无法确定指的是哪一个。请先给这个任务改一个不全是数字的名称。",
                             given.c_str(), byNumber->Name.c_str());
            return nullptr;
        }
        return byName ? byName : byNumber;
    }

    // Find, or a refusal on the error output when the task cannot be told.
    CBackupItem* FindOrSay(const std::wstring& given) const
    {
        std::wstring refusal;
        CBackupItem* task = Find(given, refusal);
        if (!task)
            Refuse(refusal.empty() ? Format(L"找不到任务：%s", given.c_str()) : refusal);
        return task;
    }

    ProfileStore profile;
    AppSettings settings;
    RunContext context;
    CBackupItemList tasks;
    RunController controller;
};

int List(Session& session)
{
    if (session.tasks.empty()) {
        Console::Out(L"没有备份任务。\r\n");
        return kExitOk;
    }
    int number = 0;
    for (const auto& task : session.tasks) {
        const std::wstring last = task->LastTime.IsNever() ? L"从未" : FormatDateTime(task->LastTime);
        Console::Out(Format(L"%d\t%s\t%s -> %s\t上次备份：%s\r\n", ++number, task->Name.c_str(),
                            task->Source.c_str(), task->Dest.c_str(), last.c_str()));
    }
    return kExitOk;
}

int Add(Session& session, const Arguments& arguments)
{
    if (!session.tasks.IsNameUnique(arguments.name))
        return Refuse(Format(L"任务名称已存在：%s", arguments.name.c_str()));

    // The new task's schedule as the task list gives it, with the folders and name asked for.
    TaskEntries entries;
    entries.Name = arguments.name;
    entries.Source = arguments.source;
    entries.Dest = arguments.dest;
    const TaskInput input = InputOf(entries, L"", session.settings.MinTime.load());
    const TaskInputCheck check = ValidateTaskInput(input, [&] { return arguments.force; });
    if (!check.Ok) {
        std::wstring text = Format(L"%s：%s", check.Title.c_str(), check.Text.c_str());
        if (!arguments.force && NeedsNonEmptyDestinationQuestion(check.Dest, L""))
            text += L"（如仍要使用它，请加上 --force；其中没有源文件的文件将移入历史文件夹）";
        return Refuse(text);
    }

    // Filled in before it is stored, so the profile never holds the task half made.
    std::unique_ptr<CBackupItem> made = session.tasks.MakeNew();
    made->Name = arguments.name;
    made->Source = check.Source;
    made->Dest = check.Dest;
    made->History = arguments.history;
    made->RemoveFollow = arguments.follow;
    const CBackupItem* task = session.tasks.Append(std::move(made));
    if (!task) {
        Console::Err(L"无法保存新任务。\r\n");
        return kExitRunFailed;
    }
    Console::Out(Format(L"已添加任务 %d：%s\r\n", static_cast<int>(session.tasks.size()), task->Name.c_str()));
    return kExitOk;
}

int RunBatch(BatchLoop& loop)
{
    return ExitCodeOf(loop.Run());
}

int Run(Session& session, const Arguments& arguments)
{
    std::vector<CBackupItem*> chosen;
    if (arguments.all) {
        for (const auto& task : session.tasks)
            chosen.push_back(task.get());
        if (chosen.empty())
            return Refuse(L"没有备份任务。");
    }
    for (const auto& given : arguments.tasks) {
        CBackupItem* task = session.FindOrSay(given);
        if (!task)
            return kExitBadInput;
        chosen.push_back(task);
    }
    BatchLoop loop(session.controller, session.context);
    session.context.allowRemovals = arguments.allowRemovals ? 1 : 0;
    for (CBackupItem* task : chosen)
        session.controller.Enqueue(task, false, true);
    session.controller.StartNext();
    return RunBatch(loop);
}

int Clean(Session& session, CBackupItem& task, bool allowRemovals)
{
    BatchLoop loop(session.controller, session.context);
    session.context.allowRemovals = allowRemovals ? 1 : 0;
    session.controller.StartCleaning(&task);
    return RunBatch(loop);
}

int Verify(Session& session, CBackupItem& task, bool repair)
{
    BatchLoop loop(session.controller, session.context);
    session.context.verifyRequest = VerifyRequest{repair};
    session.controller.StartOwnBatch(&task, RunKind::Verify);
    return RunBatch(loop);
}

// A folder given on the command line as the system would open it from the runner's current folder.
std::wstring FullPath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0)
            return path;
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return path;
}

int Restore(Session& session, CBackupItem& task, const Arguments& arguments)
{
    RestoreRequest request{FullPath(arguments.restoreTo), arguments.restorePaths, arguments.previous,
                           arguments.overwrite};
    // Refused before anything starts: input, not a failed run.
    if (const uint32_t fault = RestoreRequestFault(AppendBackslash(task.Dest), request); fault != 0)
        return Refuse(SystemErrorText(fault));
    BatchLoop loop(session.controller, session.context);
    session.context.restoreRequest = std::move(request);
    session.controller.StartOwnBatch(&task, RunKind::Restore);
    return RunBatch(loop);
}

}  // namespace

int RunCommand(const Arguments& arguments)
{
    InstanceLock instance;
    std::optional<ProfileWriteGuard> writes;
    if (arguments.command != Command::List) {
        writes.emplace();
        // Holding the program's names keeps Vaultwren.exe and other runners, also those of the
        // user's other sessions, away from the profile while this one works on it.
        if (!instance.Take(0)) {
            Console::Err(L"Vaultwren 或另一个 VaultwrenCmd 正在运行，请稍后再试。\r\n");
            return kExitBusy;
        }
    }

    Session session(arguments.command == Command::List);
    switch (arguments.command) {
    case Command::List:
        return List(session);
    case Command::Add:
        return Add(session, arguments);
    case Command::Run:
        return Run(session, arguments);
    default:
        break;
    }

    CBackupItem* task = session.FindOrSay(arguments.tasks.front());
    if (!task)
        return kExitBadInput;
    switch (arguments.command) {
    case Command::Clean:
        return Clean(session, *task, arguments.allowRemovals);
    case Command::Verify:
        return Verify(session, *task, arguments.repair);
    case Command::Restore:
        return Restore(session, *task, arguments);
    case Command::Reset:
        if (!ResetTask(*task))
            return Refuse(kResetRefusedText);
        Console::Out(std::wstring(kResetDoneText) + L"\r\n");
        return kExitOk;
    case Command::Remove: {
        const std::wstring name = task->Name;
        if (!session.tasks.Remove(*task)) {
            Console::Err(L"无法删除任务。\r\n");
            return kExitRunFailed;
        }
        Console::Out(Format(L"已删除任务：%s\r\n", name.c_str()));
        return kExitOk;
    }
    default:
        return kExitBadInput;
    }
}

}  // namespace vw
