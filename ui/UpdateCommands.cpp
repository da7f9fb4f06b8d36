// The main window's side of the self-update: it carries out what the updater's reactions decide
// and shows the notice popup; the decisions themselves live with the updater.
#include "ui/CVaultwrenDlg.h"
#include "ui/NoticePopup.h"
#include "updater/UpdaterMessages.h"
#include "win/ProfileStore.h"

namespace vw {

void CVaultwrenDlg::CheckForUpdate()
{
    if (!StartManualCheck(updater_, Handle()))
        ::MessageBoxW(Handle(), kUpdateCannotStartText, kUpdateCaption, MB_OK | MB_ICONEXCLAMATION);
}

void CVaultwrenDlg::OnUpdaterMessage(UINT message, WPARAM wParam)
{
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
        reaction = OnDownloadEnded(wParam != 0, automatic, haveNotice, installQuestionOpen_);
    else
        return;

    if (reaction.boxBeforeStop && reaction.box.text)
        ::MessageBoxW(Handle(), reaction.box.text, kUpdateCaption, reaction.box.style);
    if (reaction.stopUpdater)
        updater_.Stop();
    if (reaction.startDownload)
        updater_.StartDownload(Handle());
    if (reaction.downloadBalloon)
        tray_.ShowBalloon(kDownloadingBalloonText, kUpdateCaption, NIIF_NONE);
    if (reaction.askInstall)
        AskToInstall(reaction);
    else if (reaction.box.text && !reaction.boxBeforeStop)
        ::MessageBoxW(Handle(), reaction.box.text, kUpdateCaption, reaction.box.style);
    if (reaction.armNoticeTimer)
        ::SetTimer(Handle(), kNoticeTimerId, kNoticeDelayMs, nullptr);
    if (reaction.refreshList)
        RefreshList(-1);
}

void CVaultwrenDlg::AskToInstall(const UpdateReaction& reaction)
{
    installQuestionOpen_ = true;
    const int answer = ::MessageBoxW(Handle(), reaction.box.text, kUpdateCaption, reaction.box.style);
    installQuestionOpen_ = false;
    if (answer != IDYES) {
        if (reaction.noticeAfterNo)
            ::SetTimer(Handle(), kNoticeTimerId, kNoticeDelayMs, nullptr);
        return;
    }
    controller_.StopAll();
    if (HandOverToUpdater(profile_.RootPath() + L"\\"))
        ExitSequence();
    else
        ::MessageBoxW(Handle(), kHandOverFailedText, kUpdateCaption, MB_OK | MB_ICONSTOP);
}

void CVaultwrenDlg::ShowNoticePopup()
{
    if (updater_.noticeUrl.empty() || !ShowsNotice(updater_.automatic.load() == 1, updater_.noticeType))
        return;
    ShowNotice(notice_, instance_, updater_.noticeUrl, updater_.noticeTime, Handle());
}

void CVaultwrenDlg::RaiseNoticePopup() const
{
    if (notice_ && ::IsWindowVisible(notice_->Handle()))
        ::SetForegroundWindow(notice_->Handle());
}

}  // namespace vw
