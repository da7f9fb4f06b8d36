#pragma once
// One task with its own registry profile, run context and scratch folders: the set-up every
// engine test starts from. The task is "running" with the stop flag down, as a worker sees it.
#include <gtest/gtest.h>

#include <string>

#include "engine/CBackupEngine.h"
#include "engine/RunContext.h"
#include "win/Format.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "task/CBackupItem.h"
#include "win/ProfileStore.h"

namespace vwtest {

class EngineFixture : public ::testing::Test {
protected:
    explicit EngineFixture(wchar_t destDrive = kDiskM)
        : key_(L"engine"), profile(key_.path()), context(settings), task(profile, settings, 10001),
          root(kDiskM, L"src"), destRoot(destDrive, L"dst")
    {
        task.index = 0;
        task.Id = L"TEST-TASK";
        task.Source = root.path() + L"src";
        task.Dest = destRoot.path() + L"backup";
        CreateDirectoryW(task.Source.c_str(), nullptr);
        task.state = vw::kTaskRunning;
        context.currentTask = &task;
        context.stopFlag = 0;
        context.runState = vw::kRunRunning;
    }

    std::wstring Src(const std::wstring& relative = L"") const { return task.Source + L"\\" + relative; }
    std::wstring Dst(const std::wstring& relative = L"") const { return task.Dest + L"\\" + relative; }
    std::wstring Hist(const std::wstring& relative = L"") const { return Dst(L"_历史文件\\" + relative); }

    // A file stamped with a fixed old time, a second later for each newer `version`: what a
    // backup decides from the time stays the same whenever the test runs.
    static void Put(const std::wstring& path, const std::string& bytes, int version = 0)
    {
        ASSERT_TRUE(WriteFileBytes(path, bytes)) << vw::WideToUtf8(path);
        FILETIME time = FileTimeFromLocal(2021, 3, 4, 10, 20, 30);
        time.dwLowDateTime += static_cast<DWORD>(version) * 10'000'000u;
        ASSERT_TRUE(SetLastWriteTime(path, time));
    }

    // Binds (first run) or verifies the destination, then runs one backup pass.
    bool Backup()
    {
        vw::CBackupEngine engine(task, context);
        if (!engine.Init())
            return false;
        const bool passed = engine.BackupPass();
        // As the worker does at the end of a run that was not stopped.
        task.SetLastTime(vw::DateTime::Now(), true);
        engine.WriteLastTime();
        return passed;
    }

private:
    TestRegistryKey key_;

protected:
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::RunContext context;
    vw::CBackupItem task;
    ScratchFolder root;
    ScratchFolder destRoot;
};

}  // namespace vwtest
