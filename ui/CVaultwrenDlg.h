#pragma once
// The program's main window (dialog 102): toolbar, task list and status panel, every command on
// tasks and the task timers. Its collaborators, which it owns and wires: the task list's presenter,
// the tray, the run notifications and the self-update's flow. It owns the task list with
// its run context and run controller for the life of the program. What a row, a caption, the status
// panel or the tray says comes from plain functions of the core; this window only shows it.
//
// Visibility: shown, hidden to the tray (Escape, the close box, the system menu's close), or kept
// hidden while the start-minimised flag is set (cleared by the tray's "show" command). Only the exit
// sequence (the tray menu's exit, or a close that is not a close-to-tray) ends the window.
#include <windows.h>

#include <string>
#include <string_view>

#include "engine/RunContext.h"
#include "resources/resource.h"
#include "run/RunController.h"
#include "task/CBackupItemList.h"
#include "ui/MainToolbar.h"
#include "ui/MainTray.h"
#include "ui/RunNotifications.h"
#include "ui/TaskListPresenter.h"
#include "ui/UpdateFlow.h"
#include "win/Dialog.h"
#include "win/UniqueHandle.h"

namespace vw {

class LogWriter;
class ProfileStore;
struct AppSettings;

// Sent by the window to itself for a right-click on a row: lParam points to the click point in the
// list's client coordinates.
inline constexpr UINT WM_TASK_MENU_MSG = WM_USER + 100;

class CVaultwrenDlg : public Dialog {
public:
    CVaultwrenDlg(HINSTANCE instance, ProfileStore& profile, AppSettings& settings, LogWriter& log,
                  bool startMinimised);
    ~CVaultwrenDlg() override;

    // The window's modal life; the end code (IDCANCEL after the exit sequence, -1 when the window
    // could not be made: its class is registered by the first instance only).
    INT_PTR Run();
    // The exit could not wait for the worker or the updater's thread, which still use what this
    // window owns: the program must end before the window object goes.
    bool WorkerLeftRunning() const { return workerLeftRunning_; }

private:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR& header) override;
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;
    void OnDpiChanged(UINT oldDpi, UINT newDpi) override;

    // Set-up (CVaultwrenDlg.cpp).
    void InitTrayIcon();
    void RememberLayout();
    void LayOut();
    HBRUSH OnCtlColor(HDC dc, HWND control);
    bool OnSysCommand(WPARAM command);
    void OnClose();
    void PaintIconic();
    bool HideAtMinimisedStart();
    void ExitSequence();

    // Task commands (TaskCommands.cpp).
    void AddTask();
    void EditSelectedTask();
    void DeleteSelectedTask();
    void StartAllOrResume();
    void Pause();
    void StopAll();
    void MoveSelectedUp();
    void MoveSelectedDown();
    void MoveSelected(int step);
    void StartSelectedTask();
    void PauseSelectedTask();
    void StopSelectedTask();
    void OpenBackupFolder();
    void OpenHistoryFolder();
    void ResetSelectedTask();
    void CleanSelectedHistory();
    // Verify and restore (VerifyRestoreCommands.cpp).
    bool TaskFreeForOwnRun(const CBackupItem& task) const;
    // The selected task when it may start a run of its own; else null, after the busy message when a
    // task is selected.
    CBackupItem* SelectedFreeTask();
    void VerifySelectedTask();
    void RestoreFromSelectedTask();
    void OfferToOpenRestoredFolder(const std::wstring& target);
    void ShowMainWindow();
    void PostExit();
    void ShowOptions();
    void ShowAbout();
    void ShowTaskMenu(POINT inList);
    void OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);

    // The list, the status panel and the toolbar's buttons (ListAndPanel.cpp).
    void RefreshList(int select);
    void RefreshStatusPanel();
    void UpdateCommandStates();

    // The tray's update command, for the update flow.
    void CheckForUpdate();

    int SelectionMark() const;
    // The task at a valid selection mark, else null.
    CBackupItem* SelectedTask() const;
    void Log(std::string_view source, std::wstring_view text) const;

    HINSTANCE instance_;
    ProfileStore& profile_;
    AppSettings& settings_;
    LogWriter& log_;
    bool startMinimised_;

    CBackupItemList tasks_;
    RunContext context_;
    RunController controller_;  // after what it refers to: it goes first
    TaskListPresenter list_;
    MainTray tray_;
    RunNotifications runNotifications_;  // after the controller, the context and the tray it uses
    UpdateFlow update_;
    MainToolbar toolbar_;
    UniqueHook keyFilter_;
    UniqueIcon appIcon_;
    UniqueIcon appIconSmall_;
    UniqueGdiObject whiteBrush_;
    bool closeToTray_ = false;
    bool workerLeftRunning_ = false;
    bool firstRepaint_ = true;

    // The controls that follow the window's size, with their place in the template's layout.
    struct Anchored {
        int id;
        RECT initial;
    };
    Anchored anchored_[4] = {{IDC_TASK_LIST, {}}, {IDC_TASK_LIST_LABEL, {}}, {IDC_STATUS_GROUP, {}}, {IDC_STATUS_PANEL, {}}};
    RECT initialClient_{};
    SIZE minimumSize_{};
    UINT layoutDpi_ = 0;  // the DPI of the remembered minimum size
};

}  // namespace vw
