#include "run/CommandRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "task/CBackupItem.h"

namespace {

using vw::ContextMenuInputs;

constexpr int kIdle = vw::kRunIdle, kPaused = vw::kRunPaused, kRunning = vw::kRunRunning;
constexpr int kNoMark = -1;

struct ToolbarCase {
    const char* what;
    UINT command;
    int runState;
    int mark;
    int count;
    bool enabled;
};

TEST(CommandRulesTest, ToolbarButtons)
{
    const ToolbarCase cases[] = {
        {"add while idle", ID_ADD_TASK, kIdle, kNoMark, 0, true},
        {"add while running", ID_ADD_TASK, kRunning, kNoMark, 3, false},
        {"add while paused", ID_ADD_TASK, kPaused, 0, 3, false},
        {"edit idle with a row", ID_EDIT_TASK, kIdle, 1, 3, true},
        {"edit without a selection", ID_EDIT_TASK, kIdle, kNoMark, 3, false},
        {"edit on a mark past the last task", ID_EDIT_TASK, kIdle, 3, 3, false},
        {"edit while running", ID_EDIT_TASK, kRunning, 1, 3, false},
        {"delete idle with a row", ID_DELETE_TASK, kIdle, 0, 1, true},
        {"delete after the last task went", ID_DELETE_TASK, kIdle, 0, 0, false},
        {"delete while paused", ID_DELETE_TASK, kPaused, 0, 1, false},
        {"start while idle", ID_START, kIdle, kNoMark, 0, true},
        {"start while paused resumes", ID_START, kPaused, kNoMark, 2, true},
        {"start while running", ID_START, kRunning, kNoMark, 2, false},
        {"pause while running", ID_PAUSE, kRunning, kNoMark, 2, true},
        {"pause while paused", ID_PAUSE, kPaused, kNoMark, 2, false},
        {"pause while idle", ID_PAUSE, kIdle, kNoMark, 2, false},
        {"stop while running", ID_STOP, kRunning, kNoMark, 2, true},
        {"stop while paused", ID_STOP, kPaused, kNoMark, 2, true},
        {"stop while idle", ID_STOP, kIdle, kNoMark, 2, false},
        {"up on the second of three", ID_MOVE_UP, kIdle, 1, 3, true},
        {"up on the first row", ID_MOVE_UP, kIdle, 0, 3, false},
        {"up on a mark past the last task", ID_MOVE_UP, kIdle, 3, 3, false},
        {"up while running", ID_MOVE_UP, kRunning, 2, 3, false},
        {"down on the first of three", ID_MOVE_DOWN, kIdle, 0, 3, true},
        {"down on the last row", ID_MOVE_DOWN, kIdle, 2, 3, false},
        {"down without a selection", ID_MOVE_DOWN, kIdle, kNoMark, 3, false},
        {"down while paused", ID_MOVE_DOWN, kPaused, 0, 3, false},
        {"options while idle", ID_OPTIONS, kIdle, kNoMark, 0, true},
        {"options while running", ID_OPTIONS, kRunning, kNoMark, 0, false},
        {"about while running", ID_ABOUT, kRunning, kNoMark, 0, true},
        {"about while paused", ID_ABOUT, kPaused, kNoMark, 0, true},
        {"run state 1 counts as not idle", ID_ADD_TASK, 1, kNoMark, 0, false},
    };
    for (const ToolbarCase& c : cases)
        EXPECT_EQ(vw::ToolbarCommandEnabled(c.command, c.runState, c.mark, c.count), c.enabled) << c.what;
}

ContextMenuInputs Task(int runState, int taskState, int mark = 1, int count = 3)
{
    ContextMenuInputs in;
    in.runState = runState;
    in.taskState = taskState;
    in.selectionMark = mark;
    in.taskCount = count;
    return in;
}

ContextMenuInputs Cleaning(ContextMenuInputs in, bool isCurrent)
{
    in.cleaning = true;
    in.isCurrent = isCurrent;
    return in;
}

ContextMenuInputs Current(ContextMenuInputs in)
{
    in.isCurrent = true;
    return in;
}

ContextMenuInputs NoHistory(ContextMenuInputs in)
{
    in.keepsHistory = false;
    return in;
}

struct ContextCase {
    const char* what;
    ContextMenuInputs in;
    std::vector<UINT> disabled;
};

// What every non-idle run state takes away from a task's menu.
constexpr UINT kEdit = ID_EDIT_TASK, kDelete = ID_DELETE_TASK, kReset = ID_RESET_TASK, kUp = ID_MOVE_UP,
               kDown = ID_MOVE_DOWN, kStart = ID_START_TASK, kPause = ID_PAUSE_TASK, kStop = ID_STOP_TASK,
               kHistory = ID_OPEN_HISTORY_FOLDER, kVerify = ID_VERIFY_TASK, kRestore = ID_RESTORE_TASK;

TEST(CommandRulesTest, TaskContextMenu)
{
    using vw::kTaskIdle, vw::kTaskWaiting, vw::kTaskPaused, vw::kTaskRunning;
    const ContextCase cases[] = {
        {"idle task, nothing runs: start offered, no pause or stop", Task(kIdle, kTaskIdle), {kPause, kStop}},
        {"first row: no up", Task(kIdle, kTaskIdle, 0, 3), {kUp, kPause, kStop}},
        {"last row: no down", Task(kIdle, kTaskIdle, 2, 3), {kDown, kPause, kStop}},
        {"only row: neither up nor down", Task(kIdle, kTaskIdle, 0, 1), {kUp, kDown, kPause, kStop}},
        {"no history kept: history folder greyed", NoHistory(Task(kIdle, kTaskIdle)), {kPause, kStop, kHistory}},
        {"running task of a backup", Current(Task(kRunning, kTaskRunning)),
         {kEdit, kDelete, kUp, kDown, kReset, kStart, kVerify, kRestore}},
        {"waiting task during a backup: stop, not start", Task(kRunning, kTaskWaiting),
         {kEdit, kDelete, kUp, kDown, kReset, kStart, kPause, kVerify, kRestore}},
        {"idle task during a backup: start queues it", Task(kRunning, kTaskIdle),
         {kEdit, kDelete, kUp, kDown, kReset, kPause, kStop, kVerify, kRestore}},
        {"paused task of a paused batch: start resumes, stop stops", Current(Task(kPaused, kTaskPaused)),
         {kEdit, kDelete, kUp, kDown, kReset, kPause, kVerify, kRestore}},
        {"waiting task of a paused batch: no stop", Task(kPaused, kTaskWaiting),
         {kEdit, kDelete, kUp, kDown, kReset, kStart, kPause, kStop, kVerify, kRestore}},
        {"idle task while another task is cleaned: no start", Cleaning(Task(kRunning, kTaskIdle), false),
         {kEdit, kDelete, kUp, kDown, kReset, kStart, kPause, kStop, kVerify, kRestore}},
        {"the task being cleaned", Cleaning(Task(kRunning, kTaskRunning), true),
         {kEdit, kDelete, kUp, kDown, kReset, kStart, kVerify, kRestore}},
        {"its paused cleaning may be resumed", Cleaning(Task(kPaused, kTaskPaused), true),
         {kEdit, kDelete, kUp, kDown, kReset, kPause, kVerify, kRestore}},
        {"a task not idle while nothing runs: no verify or restore", Task(kIdle, kTaskWaiting),
         {kStart, kPause, kStop, kVerify, kRestore}},
        {"run state 1 counts as not idle", Task(1, kTaskIdle),
         {kEdit, kDelete, kUp, kDown, kReset, kPause, kStop, kVerify, kRestore}},
    };
    for (const ContextCase& c : cases)
        EXPECT_EQ(vw::DisabledContextCommands(c.in), c.disabled) << c.what;
}

TEST(CommandRulesTest, BackupFolderIsNeverDisabled)
{
    for (int runState : {kIdle, kPaused, kRunning})
        for (int taskState = vw::kTaskIdle; taskState <= vw::kTaskRunning; ++taskState)
            for (bool history : {true, false}) {
                ContextMenuInputs in = Task(runState, taskState, 0, 1);
                in.keepsHistory = history;
                const std::vector<UINT> disabled = vw::DisabledContextCommands(in);
                EXPECT_EQ(std::count(disabled.begin(), disabled.end(), UINT{ID_OPEN_BACKUP_FOLDER}), 0);
            }
}

struct TrayCase {
    int runState;
    bool start, pause, stop;
};

TEST(CommandRulesTest, TrayMenuRunItems)
{
    const TrayCase cases[] = {
        {kIdle, true, false, false},
        {kRunning, false, true, true},
        {kPaused, true, false, true},
    };
    for (const TrayCase& c : cases) {
        SCOPED_TRACE(c.runState);
        EXPECT_EQ(vw::TrayCommandEnabled(ID_START, c.runState), c.start);
        EXPECT_EQ(vw::TrayCommandEnabled(ID_PAUSE, c.runState), c.pause);
        EXPECT_EQ(vw::TrayCommandEnabled(ID_STOP, c.runState), c.stop);
        for (UINT always : {ID_SHOW_WINDOW, ID_UPDATE, ID_EXIT})
            EXPECT_TRUE(vw::TrayCommandEnabled(always, c.runState));
    }
}

}  // namespace
