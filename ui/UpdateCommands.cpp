// The main window's side of the self-update: it carries out what the updater's reactions decide
// and shows the notice popup; the decisions themselves live with the updater.
#include "ui/CVaultwrenDlg.h"

#include <utility>

#include "ui/NoticePopup.h"
#include "updater/UpdaterMessages.h"
#include "win/ProfileStore.h"

namespace vw {

void CVaultwrenDlg::CheckForUpdate()
{
    // The tray's command works while one of the update's boxes waits for its answer (the tray menu
    // is not the box's owner): that box answers this update already, a second one is not stacked.
    if (updateBoxOpen_)
        return;
    if (!StartManualCheck(updater_, Handle()))
        ShowUpdateBox(kUpdateCannotStartText, MB_OK | MB_ICONEXCLAMATION);
}

int CVaultwrenDlg::ShowUpdateBox(const wchar_t* text, UINT style)
{
    updateBoxOpen_ = true;
    const int answer = ::MessageBoxW(Handle(), text, kUpdateCaption, style);
    updateBoxOpen_ = false;
    return answer;
}

void CVaultwrenDlg::OnUpdaterMessage(UINT message, WPARAM wParam, LPARAM lParam)
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
        reaction = OnDownloadEnded(wParam != 0, automatic, haveNotice, updateBoxOpen_);
    else
        return;
    // The operation's last word: anything more it posts while a box below waits is not acted on.
    if (reaction.stopUpdater)
        updater_.EndGeneration();

    if (reaction.boxBeforeStop && reaction.box.text)
        ShowUpdateBox(reaction.box.text, reaction.box.style);
    if (reaction.stopUpdater)
        updater_.Stop();
    if (reaction.startDownload)
        updater_.StartDownload(Handle());
    if (reaction.downloadBalloon)
        tray_.ShowBalloon(kDownloadingBalloonText, kUpdateCaption, NIIF_NONE);
    if (reaction.askInstall)
        AskToInstall(reaction);
    else if (reaction.box.text && !reaction.boxBeforeStop)
        ShowUpdateBox(reaction.box.text, reaction.box.style);
    if (reaction.armNoticeTimer)
        ::SetTimer(Handle(), kNoticeTimerId, kNoticeDelayMs, nullptr);
    if (reaction.refreshList)
        RefreshList(-1);
}

void CVaultwrenDlg::AskToInstall(const UpdateReaction& reaction)
{
    const int answer = ShowUpdateBox(reaction.box.text, reaction.box.style);
    if (answer != IDYES) {
        if (reaction.noticeAfterNo)
            ::SetTimer(Handle(), kNoticeTimerId, kNoticeDelayMs, nullptr);
        return;
    }
    controller_.StopAll();
    if (HandOverToUpdater(profile_.RootPath() + L"\\"))
        ExitSequence();
    else
        ShowUpdateBox(kHandOverFailedText, MB_OK | MB_ICONSTOP);
}

void CVaultwrenDlg::ShowNoticePopup()
{
    if (updater_.noticeUrl.empty() || !ShowsNotice(updater_.automatic.load() == 1, updater_.noticeType))
        return;
    if (notice_) {
        ShowNotice(notice_, instance_, updater_.noticeUrl, updater_.noticeTime, Handle());
        return;
    }
    // The first showing waits for the connection probe, which may take seconds on a dead network:
    // it runs off this thread and the window goes on answering meanwhile.
    pendingNotice_ = {updater_.noticeUrl, updater_.noticeTime, pendingNotice_.probe + 1};
    ProbeConnection(pendingNotice_.address, Handle(), pendingNotice_.probe);
}

void CVaultwrenDlg::OnNoticeProbe(bool allowed, LPARAM probe)
{
    // Only the answer to the latest probe counts, and only once.
    if (probe != pendingNotice_.probe || pendingNotice_.address.empty())
        return;
    const PendingNotice notice = std::exchange(pendingNotice_, {{}, 0, probe});
    if (allowed)
        ShowNotice(notice_, instance_, notice.address, notice.seconds, Handle());
}

void CVaultwrenDlg::RaiseNoticePopup() const
{
    if (notice_ && ::IsWindowVisible(notice_->Handle()))
        ::SetForegroundWindow(notice_->Handle());
}

}  // namespace vw
