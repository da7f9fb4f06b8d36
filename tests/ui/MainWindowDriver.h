#pragma once
// The real main window, made from its template, on a thread of its own (its UI thread), driven from
// the test's thread the way another program would drive it: commands by id and standard control
// messages. Message boxes it asks are answered by a MessageBoxAnswerer. Below it, the fixture the
// window tests share.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "run/LogWriter.h"
#include "support/RemoteControls.h"
#include "support/TestDrives.h"
#include "support/TestRegistry.h"
#include "task/AppSettings.h"
#include "win/ProfileStore.h"

namespace vwtest {

class MainWindowDriver {
public:
    MainWindowDriver(vw::ProfileStore& profile, vw::AppSettings& settings, vw::LogWriter& log,
                     bool startMinimised = false);
    // Exits the window when the test has not.
    ~MainWindowDriver();
    MainWindowDriver(const MainWindowDriver&) = delete;
    MainWindowDriver& operator=(const MainWindowDriver&) = delete;

    HWND window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    HWND List() const;
    HWND Toolbar() const;

    // Sent: returns when the window has handled it (message boxes it asks must be answered).
    void Command(UINT id) const;
    void Post(UINT id) const;

    Rows ListRows() const { return ListViewRows(List()); }
    int SelectionMark() const { return ListViewSelectionMark(List()); }
    void Select(int row) const { ListViewSelect(List(), row); }
    std::wstring Text(int id) const { return WindowText(Item(id)); }
    bool ButtonEnabled(UINT command) const { return ToolbarButtonEnabled(Toolbar(), command); }

    bool WaitUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(60)) const;

    // Exit through the tray menu's command; waits until the window's modal run has ended.
    void Exit();
    bool Running() const { return !ended_; }
    INT_PTR Result() const { return result_; }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    std::atomic<bool> ended_{false};
    INT_PTR result_ = 0;
};

// A fixture for tests of the real main window: a profile under a registry key of the test's own,
// settings, a log that writes nothing, and scratch folders for the tasks' sources (on M:) and
// destinations (on N:).
class MainWindowFixture : public ::testing::Test {
protected:
    // `keyName` names the registry key, `folderName` the scratch folders; a task's destination is
    // its name followed by `destTail` in the destination folder.
    MainWindowFixture(const std::wstring& keyName, const std::wstring& folderName, std::wstring destTail);

    // What a stored task's source folder holds, and whether the task keeps a history.
    struct TaskContent {
        int files = 0;          // small files
        uint64_t bigBytes = 0;  // one big file of this size when not 0
        int history = 1;        // as the task stores it: 1 keeps one
    };
    // Stores a task whose source folder (made here) holds `content`; it never starts on its own.
    void AddTask(const std::wstring& name, const TaskContent& content);
    void AddTask(const std::wstring& name, int files = 0, uint64_t bigBytes = 0);
    std::wstring DestOf(const std::wstring& name) const { return dest.path() + name + destTail_; }

    // The window on this profile, made and through its initialisation.
    std::unique_ptr<MainWindowDriver> Open(bool startMinimised = false);

    // The profile's registry key, below HKEY_CURRENT_USER.
    const std::wstring& ProfileKey() const { return key_.path(); }

private:
    TestRegistryKey key_;
    std::wstring destTail_;

protected:
    vw::ProfileStore profile;
    vw::AppSettings settings;
    vw::LogWriter log{false};
    ScratchFolder folder;
    ScratchFolder dest;
};

}  // namespace vwtest
