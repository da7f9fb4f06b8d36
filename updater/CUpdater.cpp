#include "updater/CUpdater.h"

#include <cwchar>
#include <system_error>

#include "updater/CheckDate.h"
#include "updater/ManifestSignature.h"
#include "updater/ProgramVersion.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateManifest.h"
#include "updater/UpdaterKeys.h"
#include "updater/UpdaterMessages.h"
#include "updater/VersionNumber.h"

namespace vw {

CUpdater::CUpdater(std::wstring registrySubPath)
    : installedVersion(RunningProgramVersion().value_or(0.0)), subPath_(std::move(registrySubPath))
{
    profileRoot_ = subPath_;
    while (!profileRoot_.empty() && profileRoot_.back() == L'\\')
        profileRoot_.pop_back();
    while (!profileRoot_.empty() && profileRoot_.front() == L'\\')
        profileRoot_.erase(0, 1);
}

CUpdater::~CUpdater()
{
    Stop();
}

std::wstring CUpdater::WorkingFile(const std::wstring& name) const
{
    std::wstring path;
    return TempFolderFile(path, subPath_, name) ? path : std::wstring();
}

bool CUpdater::StartCheck(HWND window)
{
    Stop();
    if (!window)
        return false;
    return Start(window, &CUpdater::CheckThread);
}

bool CUpdater::StartDownload(HWND window)
{
    Stop();
    return Start(window, &CUpdater::DownloadThread);
}

bool CUpdater::Start(HWND window, void (CUpdater::*body)())
{
    window_ = window;
    threadGeneration_ = ++generation_;
    resultCode = kUpdaterNoFailure;
    idle = 0;
    threadEnded_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!threadEnded_) {
        idle = 1;
        return false;
    }
    try {
        thread_ = std::thread(
            [this, body, ended = threadEnded_.get()] {
                (this->*body)();
                SetEvent(ended);
            });
    } catch (const std::system_error&) {
        idle = 1;
        return false;
    }
    return true;
}

void CUpdater::EndGeneration()
{
    ++generation_;
}

bool CUpdater::IsCurrent(LPARAM lParam) const
{
    return MessageGeneration(lParam) == generation_;
}

void CUpdater::Stop()
{
    StopWithin(INFINITE);
}

bool CUpdater::StopWithin(DWORD limitMs)
{
    EndGeneration();
    // Joined even when the thread has raised the idle flag itself: it may still be on its last
    // lines, and the file list must outlive it.
    if (thread_.joinable()) {
        idle = 1;
        if (WaitForSingleObject(threadEnded_.get(), limitMs) != WAIT_OBJECT_0)
            return false;
        thread_.join();
    }
    files.clear();
    return true;
}

void CUpdater::Report(UINT message, WPARAM wParam, LPARAM lParam, DWORD pauseMs)
{
    if (automatic.load() != 0)
        return;
    Post(message, wParam, lParam, pauseMs);
}

void CUpdater::Post(UINT message, WPARAM wParam, LPARAM lParam, DWORD pauseMs)
{
    PostMessageW(window_, message, wParam, MAKELPARAM(LOWORD(lParam), threadGeneration_));
    if (pauseMs)
        Sleep(pauseMs);
}

void CUpdater::CheckThread()
{
    if (!window_ || idle.load() == 1)
        return;
    const std::time_t today = LocalMidnight(std::time(nullptr));

    std::wstring iniUrl;
    {
        UpdaterKey key(profileRoot_);
        if (key.IsOpen()) {
            std::wstring text;
            const std::time_t lastCheck = ParseCheckDate(key.ReadString(kCheckDateEntry, text) ? text : L"");
            long long checkDays = 0;
            if (key.ReadString(kCheckDaysEntry, text) && !text.empty())
                checkDays = std::wcstoll(text.c_str(), nullptr, 10);
            if (automatic.load() == 1 && WithinCheckDays(today, lastCheck, checkDays)) {
                key.Close();
                Post(WM_UPDATER_CHECK_END_MSG, 0, 0, 0);
                return;
            }
            if (!key.ReadString(kIniUrlEntry, iniUrl, kIniUrlCapacity))
                iniUrl.clear();
        }
    }
    if (iniUrl.empty()) {
        resultCode = kUpdaterNoSetup;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 0);
        return;
    }

    // The manifest and its signature: nothing of the manifest is read before the signature is found
    // to be the vendor's, and a manifest that is not stays nowhere.
    const std::wstring manifestPath = WorkingFile(kManifestName);
    const std::wstring signaturePath = manifestPath + kSignatureSuffix;
    FetchHooks small;
    small.maxSize = kMaxManifestSize;
    const auto fail = [&](int32_t code) {
        DeleteFileW(manifestPath.c_str());
        DeleteFileW(signaturePath.c_str());
        resultCode = code;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 0);
    };
    if (manifestPath.empty() || !HttpFetch(iniUrl, manifestPath, idle, small).ok()) {
        fail(kUpdaterFetchFailed);
        return;
    }
    // A server that has the manifest but no signature offers an unsigned manifest.
    const FetchResult signature = HttpFetch(iniUrl + kSignatureSuffix, signaturePath, idle, small);
    if (!signature.ok() && signature.end != FetchEnd::BadStatus) {
        fail(kUpdaterFetchFailed);
        return;
    }
    if (!signature.ok() || !IsSignedManifest(manifestPath)) {
        fail(kUpdaterBadSignature);
        return;
    }
    const UpdateManifest manifest(manifestPath);
    const std::optional<double> offered = ParseVersion(manifest.VersionText());
    if (!offered) {
        fail(kUpdaterBadManifest);
        return;
    }
    noticeUrl = manifest.NoticeUrl();
    noticeTime = manifest.NoticeTime();
    noticeType = manifest.NoticeType();
    const bool newer = IsNewerVersion(installedVersion, *offered);

    UpdaterKey key(profileRoot_);
    if (key.IsOpen()) {
        if (newer) {
            std::wstring programFolder;
            if (ProgramFolderFile(programFolder, L""))
                key.WriteString(kPathEntry, programFolder);
        } else {
            const std::wstring checkDays = manifest.CheckDaysText();
            if (!checkDays.empty())
                key.WriteString(kCheckDaysEntry, checkDays);
            DeleteFileW(manifestPath.c_str());
            DeleteFileW(signaturePath.c_str());
            key.WriteString(kCheckDateEntry, FormatCheckDate(today));
        }
    }
    key.Close();
    Post(WM_UPDATER_CHECK_END_MSG, newer ? 1 : 0, 0, 0);
}

}  // namespace vw
