#pragma once
// The main window's self-update: the check at start and the one the tray asks for, what is done on
// the updater's messages (the updater's reactions decide it; this carries it out), the update's
// boxes (one at a time), the hand-over to the updater, and the notice popup with its connection
// probe. A message of an ended updater operation, or the answer to an earlier probe, is dropped.
// What it needs of the window comes in as WindowSide; it knows nothing else of the window.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "ui/CMessageDlg.h"
#include "updater/CUpdater.h"
#include "updater/UpdateReactions.h"

namespace vw {

class MainTray;

class UpdateFlow {
public:
    struct WindowSide {
        std::function<void()> stopRuns;     // before the program hands over to the updater
        std::function<void()> exitProgram;  // after the hand-over
        std::function<void()> refreshList;
    };

    // `profileRoot` is the profile's registry path (its UPDATER key) without a trailing backslash.
    UpdateFlow(HINSTANCE instance, const std::wstring& profileRoot, MainTray& tray, WindowSide window);
    UpdateFlow(const UpdateFlow&) = delete;
    UpdateFlow& operator=(const UpdateFlow&) = delete;

    // The window the updater reports to, which owns the boxes and the notice timer.
    void Attach(HWND window) { window_ = window; }
    void StartAutomaticCheck();
    // The tray's command. Refused while one of the update's boxes waits for its answer (the tray
    // menu is not the box's owner): that box answers this update already.
    void CheckByHand();
    // True for an updater message or a probe's answer (acted on, or dropped as stale).
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The notice timer (kNoticeTimerId) went off.
    void OnNoticeTimer();
    // A notice on screen comes to the front.
    void RaiseNotice() const;
    // At the window's close: the notice goes, the updater is stopped. False when its thread is held
    // past `limitMs` (in a network call); it still uses this object, which must outlive it.
    bool Close(DWORD limitMs);

private:
    void OnUpdaterMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // One of the update's boxes, modal; boxOpen_ while it waits.
    int ShowBox(const wchar_t* text, UINT style);
    void AskToInstall(const UpdateReaction& reaction);
    void ShowNoticePopup();
    void OnNoticeProbe(bool allowed, LPARAM probe);

    HINSTANCE instance_;
    std::wstring profileRoot_;
    MainTray& tray_;
    WindowSide side_;
    HWND window_ = nullptr;
    CUpdater updater_;
    std::unique_ptr<CMessageDlg> notice_;
    // The notice waiting for its connection probe; `probe` numbers the probes.
    struct PendingNotice {
        std::wstring address;
        int seconds = 0;
        LPARAM probe = 0;
    };
    PendingNotice pendingNotice_;
    bool boxOpen_ = false;  // one of the update's boxes is up (its modal loop runs)
};

}  // namespace vw
