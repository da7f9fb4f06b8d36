#include "updater/UpdateReactions.h"

#include <shellapi.h>

#include "updater/CUpdater.h"
#include "updater/ProgramFolders.h"

namespace vw {

bool StartManualCheck(CUpdater& updater, HWND window)
{
    updater.automatic = 0;
    return updater.HasThread() || updater.StartCheck(window);
}

const wchar_t* UpdateFailureText(int32_t resultCode)
{
    switch (resultCode) {
    case kUpdaterNoSetup:
        return L"无法启动自动更新，请手动更新！\n原因：没有设置更新地址，或更新说明已不在。";
    case kUpdaterFetchFailed:
    case kUpdaterBadStatus:
        return L"无法启动自动更新，请手动更新！\n原因：无法连接更新服务器，或服务器上没有更新说明。";
    case kUpdaterLocalFile:
        return L"无法启动自动更新，请手动更新！\n原因：无法写入临时文件夹（磁盘已满或没有写入权限）。";
    case kUpdaterBadSignature:
        return L"无法启动自动更新，请手动更新！\n原因：更新说明的签名不正确，可能已被篡改。";
    case kUpdaterBadManifest:
        return L"无法启动自动更新，请手动更新！\n原因：更新说明无效（版本号或文件列表不正确）。";
    default:
        return kUpdateCannotStartText;
    }
}

UpdateReaction OnUpdaterFailure(WPARAM wParam, bool automatic, int32_t resultCode)
{
    UpdateReaction reaction;
    if (wParam != 0)
        return reaction;
    if (!automatic)
        reaction.box = {UpdateFailureText(resultCode), MB_OK | MB_ICONINFORMATION};
    reaction.boxBeforeStop = true;
    reaction.stopUpdater = true;
    return reaction;
}

UpdateReaction OnCheckEnded(bool newer, bool automatic, bool haveNotice)
{
    UpdateReaction reaction;
    reaction.stopUpdater = true;
    reaction.refreshList = true;
    if (newer) {
        reaction.startDownload = true;
        reaction.downloadBalloon = !automatic;
        return reaction;
    }
    if (!automatic)
        reaction.box = {kUpToDateText, MB_OK | MB_ICONINFORMATION};
    reaction.armNoticeTimer = haveNotice;
    return reaction;
}

UpdateReaction OnDownloadEnded(bool complete, bool automatic, bool haveNotice, bool questionOpen)
{
    UpdateReaction reaction;
    reaction.stopUpdater = true;
    if (questionOpen)
        return reaction;
    if (complete) {
        reaction.box = {kAskInstallText, MB_YESNO | MB_ICONQUESTION};
        reaction.askInstall = true;
        reaction.noticeAfterNo = automatic && haveNotice;
        return reaction;
    }
    if (!automatic)
        reaction.box = {kIncompleteText, MB_OK | MB_ICONSTOP};
    else
        reaction.armNoticeTimer = haveNotice;
    return reaction;
}

bool ShowsNotice(bool automatic, int32_t noticeType)
{
    return automatic && (noticeType == 0 || noticeType == 1);
}

bool HandOverToUpdater(const std::wstring& subPath)
{
    std::wstring source, target;
    if (!ProgramFolderFile(source, kUpdaterProgramName) || !TempFolderFile(target, subPath, kUpdaterProgramName))
        return false;
    if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    // The working folder may not exist yet when nothing was downloaded through this profile.
    if (!MakeParentFolders(target) || !CopyFileW(source.c_str(), target.c_str(), FALSE))
        return false;
    const HINSTANCE started = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace vw
