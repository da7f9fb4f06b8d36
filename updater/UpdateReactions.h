#pragma once
// The main window's side of the updater, decided without a window: what each updater message makes
// the window do (stop, download, ask, tell, arm the notice timer), the texts it shows, and the
// hand-over to Updater.exe. The window only carries these out.
#include <windows.h>

#include <cstdint>
#include <string>

namespace vw {

inline constexpr wchar_t kUpdateCaption[] = L"Vaultwren";
inline constexpr wchar_t kUpdateCannotStartText[] = L"无法启动自动更新，请手动更新！";
inline constexpr wchar_t kUpToDateText[] = L"当前已经是最新的版本了！";
inline constexpr wchar_t kAskInstallText[] = L"有新的版本可以更新，要立即更新吗？";
inline constexpr wchar_t kIncompleteText[] = L"下载的更新文件不完整，更新失败！";
inline constexpr wchar_t kHandOverFailedText[] = L"程序目录下缺少升级程序Updater.exe！，请重新下载完整版本！";
inline constexpr wchar_t kDownloadingBalloonText[] = L"更新文件下载中。。。";

// The window timer that shows the notice page, and its delay.
inline constexpr UINT_PTR kNoticeTimerId = 1001;
inline constexpr UINT kNoticeDelayMs = 2000;

// A message box of these reactions: its text and its MB_* buttons and icon.
struct UpdateBox {
    const wchar_t* text = nullptr;  // none when null
    UINT style = 0;
};

struct UpdateReaction {
    bool stopUpdater = false;     // Stop first (joins the ended thread)
    bool boxBeforeStop = false;   // the box comes even before Stop: the worker pauses after a failure
                                  // report so that the user sees it while it winds down
    bool startDownload = false;   // then StartDownload
    bool downloadBalloon = false; // tray balloon kDownloadingBalloonText, caption, no icon
    UpdateBox box;                // shown after the steps above
    bool askInstall = false;      // box is the question: Yes hands over, No goes to noticeAfterNo
    bool noticeAfterNo = false;
    bool armNoticeTimer = false;  // kNoticeTimerId, kNoticeDelayMs
    bool refreshList = false;     // the task list, no row selected
};

class CUpdater;

// The user's "软件升级(&U)": from now on the updater reports as asked by the user. A check starts
// unless an operation runs (or has ended and is not stopped yet), which then reports to the user.
// False when the check could not start: kUpdateCannotStartText with the exclamation icon is due.
bool StartManualCheck(CUpdater& updater, HWND window);

// What a user who asked is told of a failed update: kUpdateCannotStartText, then on a line of its
// own what failed, by the updater's result code (CUpdater.h); the plain text for a stop.
const wchar_t* UpdateFailureText(int32_t resultCode);

// WM_UPDATER_ERROR_MSG: a file's failure (wParam != 0) changes nothing; `resultCode` is the
// updater's at the message.
UpdateReaction OnUpdaterFailure(WPARAM wParam, bool automatic, int32_t resultCode);
// WM_UPDATER_CHECK_END_MSG.
UpdateReaction OnCheckEnded(bool newer, bool automatic, bool haveNotice);
// WM_UPDATER_DOWNLOAD_END_MSG. While the install question is still open (`questionOpen`: a check
// started from the tray under it has ended), no second question is stacked on it.
UpdateReaction OnDownloadEnded(bool complete, bool automatic, bool haveNotice, bool questionOpen);
// Timer 1001: the notice popup only for an automatic check and notice types 0 and 1.
bool ShowsNotice(bool automatic, int32_t noticeType);

// Copies the program folder's Updater.exe into the working folder below `subPath` and starts it
// there ("open", no arguments). False at the first step that fails: then kHandOverFailedText
// (stop icon) is due and the program goes on running.
bool HandOverToUpdater(const std::wstring& subPath);

}  // namespace vw
