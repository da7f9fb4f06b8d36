#include "ui/UpdateFlow.h"

#include <shellapi.h>

#include <utility>

#include "ui/MainTray.h"
#include "ui/NoticePopup.h"
#include "updater/UpdaterMessages.h"

namespace vw {

UpdateFlow::UpdateFlow(HINSTANCE instance, const std::wstring& profileRoot, MainTray& tray, WindowSide window)
    : instance_(instance), profileRoot_(profileRoot), tray_(tray), side_(std::move(window)),
      updater_(profileRoot + L"\\")
{
}

void UpdateFlow::StartAutomaticCheck()
{
    updater_.StartCheck(window_);
}

bool UpdateFlow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_UPDATER_DOWNLOAD_START_MSG && message <= WM_UPDATER_CHECK_END_MSG) {
        OnUpdaterMessage(message, wParam, lParam);
        return true;
    }
    if (message == WM_NOTICE_PROBE_MSG) {
        OnNoticeProbe(wParam != 0, lParam);
        return true;
    }
    return false;
}

void UpdateFlow::OnNoticeTimer()
{
    ::KillTimer(window_, kNoticeTimerId);
    ShowNoticePopup();
}

bool UpdateFlow::Close(DWORD limitMs)
{
    notice_.reset();
    return updater_.StopWithin(limitMs);
}

void UpdateFlow::CheckByHand()
{
    if (boxOpen_)
        return;
    if (!StartManualCheck(updater_, window_))
        ShowBox(kUpdateCannotStartText, MB_OK | MB_ICONEXCLAMATION);
}

int UpdateFlow::ShowBox(const wchar_t* text, UINT style)
{
    boxOpen_ = true;
    const int answer = ::MessageBoxW(window_, text, kUpdateCaption, style);
    boxOpen_ = false;
    return answer;
}

void UpdateFlow::OnUpdaterMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // A message of an operation that was stopped, or that has had its last word, is stale.
    if (!updater_.IsCurrent(lParam))
        return;
    // The per-file messages carry pointers into the updater's list: nothing here reads them.
    if (message == WM_UPDATER_DOWNLOAD_START_MSG) {
        updater_.goAhead = 1;
        return;
    }
    // What the reaction depends on is read before anything stops the updater.
    const bool automatic = updater_.automatic.load() == 1;
    const bool haveNotice = !updater_.noticeUrl.empty();
    UpdateReaction reaction;
    if (message == WM_UPDATER_ERROR_MSG)
        reaction = OnUpdaterFailure(wParam, automatic, updater_.resultCode.load());
    else if (message == WM_UPDATER_CHECK_END_MSG)
        reaction = OnCheckEnded(wParam != 0, automatic, haveNotice);
    else if (message == WM_UPDATER_DOWNLOAD_END_MSG)
        reaction = OnDownloadEnded(wParam != 0, automatic, haveNotice, boxOpen_);
    else
        return;
    // The operation's last word: anything more it posts while a box below waits is not acted on.
    if (reaction.stopUpdater)
        updater_.EndGeneration();

    if (reaction.boxBeforeStop && reaction.box.text)
        ShowBox(reaction.box.text, reaction.box.style);
    if (reaction.stopUpdater)
        updater_.Stop();
    if (reaction.startDownload)
        updater_.StartDownload(window_);
    if (reaction.downloadBalloon)
        tray_.ShowBalloon(kDownloadingBalloonText, kUpdateCaption, NIIF_NONE);
    if (reaction.askInstall)
        AskToInstall(reaction);
    else if (reaction.box.text && !reaction.boxBeforeStop)
        ShowBox(reaction.box.text, reaction.box.style);
    if (reaction.armNoticeTimer)
        ::SetTimer(window_, kNoticeTimerId, kNoticeDelayMs, nullptr);
    if (reaction.refreshList)
        side_.refreshList();
}

void UpdateFlow::AskToInstall(const UpdateReaction& reaction)
{
    const int answer = ShowBox(reaction.box.text, reaction.box.style);
    if (answer != IDYES) {
        if (reaction.noticeAfterNo)
            ::SetTimer(window_, kNoticeTimerId, kNoticeDelayMs, nullptr);
        return;
    }
    side_.stopRuns();
    if (HandOverToUpdater(profileRoot_ + L"\\"))
        side_.exitProgram();
    else
        ShowBox(kHandOverFailedText, MB_OK | MB_ICONSTOP);
}

void UpdateFlow::ShowNoticePopup()
{
    if (updater_.noticeUrl.empty() || !ShowsNotice(updater_.automatic.load() == 1, updater_.noticeType))
        return;
    if (notice_) {
        ShowNotice(notice_, instance_, updater_.noticeUrl, updater_.noticeTime, window_);
        return;
    }
    // The first showing waits for the connection probe, which may take seconds on a dead network:
    // it runs off this thread and the window goes on answering meanwhile.
    pendingNotice_ = {updater_.noticeUrl, updater_.noticeTime, pendingNotice_.probe + 1};
    ProbeConnection(pendingNotice_.address, window_, pendingNotice_.probe);
}

void UpdateFlow::OnNoticeProbe(bool allowed, LPARAM probe)
{
    // Only the answer to the latest probe counts, and only once.
    if (probe != pendingNotice_.probe || pendingNotice_.address.empty())
        return;
    const PendingNotice notice = std::exchange(pendingNotice_, {{}, 0, probe});
    if (allowed)
        ShowNotice(notice_, instance_, notice.address, notice.seconds, window_);
}

void UpdateFlow::RaiseNotice() const
{
    if (notice_ && ::IsWindowVisible(notice_->Handle()))
        ::SetForegroundWindow(notice_->Handle());
}

}  // namespace vw
