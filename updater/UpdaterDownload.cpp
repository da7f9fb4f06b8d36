// The download thread: the manifest the check left behind becomes a list of files, each is
// fetched into the download folder and checked, failed files are tried again, up to three passes.
#include "updater/CUpdater.h"
#include "updater/ManifestSignature.h"
#include "updater/ProgramFolders.h"
#include "updater/Sha256.h"
#include "updater/UpdateManifest.h"
#include "updater/UpdaterKeys.h"
#include "updater/UpdaterMessages.h"
#include "updater/VersionNumber.h"

namespace vw {

namespace {

constexpr int kPasses = 3;
constexpr int kGoAheadPolls = 100;
constexpr DWORD kPollMs = 100;

}  // namespace

void CUpdater::DownloadThread()
{
    if (!window_ || idle.load() == 1)
        return;
    if (!PrepareDownload()) {
        idle = 1;
        return;
    }
    if (files.empty()) {
        Post(WM_UPDATER_DOWNLOAD_END_MSG, 1, 0, 100);
        idle = 1;
        return;
    }
    if (automatic.load() == 0) {
        Post(WM_UPDATER_DOWNLOAD_START_MSG, 0, 0, 0);
        for (int poll = 0; poll < kGoAheadPolls && goAhead.load() == 0 && idle.load() == 0; ++poll)
            Sleep(kPollMs);
    }

    bool complete = false;
    bool stopped = false;
    for (int pass = 0; pass < kPasses && !complete && !stopped; ++pass) {
        bool passOk = true;
        for (const auto& file : files) {
            if (pass > 0 && file->received != -1 && file->received != 0)
                continue;
            if (idle.load() == 1) {
                resultCode = kUpdaterStopped;
                Post(WM_UPDATER_ERROR_MSG, 0, 0, 0);
                stopped = true;
                passOk = false;
                break;
            }
            if (!FetchFile(*file)) {
                file->received = -1;
                passOk = false;
            }
        }
        if (passOk) {
            UpdaterKey key(profileRoot_);
            if (key.IsOpen())
                key.WriteString(kDownloadVerEntry, offeredVersion);
            complete = true;
        }
    }
    Post(WM_UPDATER_DOWNLOAD_END_MSG, complete ? 1 : 0, 0, 100);
    idle = 1;
}

bool CUpdater::PrepareDownload()
{
    double downloaded = 0.0;
    bool haveDownloaded = false;
    {
        UpdaterKey key(profileRoot_);
        if (!key.IsOpen()) {
            resultCode = kUpdaterNoSetup;
            Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
            return false;
        }
        std::wstring text;
        if (key.ReadString(kDownloadVerEntry, text)) {
            haveDownloaded = true;
            downloaded = LeadingNumber(text);
        }
    }

    const std::wstring manifestPath = WorkingFile(kManifestName);
    if (manifestPath.empty() || WorkingFile(kDownloadFolderName).empty() ||
        GetFileAttributesW(manifestPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        resultCode = kUpdaterNoSetup;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
        return false;
    }
    // Checked again: the manifest has lain in the working folder since the check.
    if (!IsSignedManifest(manifestPath)) {
        resultCode = kUpdaterBadSignature;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
        return false;
    }
    const UpdateManifest manifest(manifestPath);
    offeredVersion = manifest.VersionText();
    const std::optional<double> offered = ParseVersion(offeredVersion);
    if (!offered) {
        resultCode = kUpdaterBadManifest;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
        return false;
    }
    if (!IsNewerVersion(installedVersion, *offered))
        return true;

    // One refused name refuses the whole version: nothing of it is fetched.
    const ManifestFileList listed = manifest.Files();
    if (!listed.ok()) {
        resultCode = kUpdaterBadManifest;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
        return false;
    }
    if (haveDownloaded && *offered == downloaded && EarlierDownloadComplete(listed.files))
        return true;

    for (size_t i = 0; i < listed.files.size(); ++i) {
        const ManifestFile& listedFile = listed.files[i];
        auto& file = *files.emplace_back(std::make_unique<UpdaterFileInfo>());
        file.number = static_cast<int32_t>(i + 1);
        file.name = listedFile.name;
        file.size = listedFile.size;
        file.address = listedFile.url;
        file.sha256 = listedFile.sha256;
    }
    return true;
}

bool CUpdater::EarlierDownloadComplete(const std::vector<ManifestFile>& listed) const
{
    const std::wstring folder = WorkingFile(kDownloadFolderName);
    for (const ManifestFile& file : listed) {
        const std::wstring path = folder + file.name;
        if (FindFileSize(path) != file.size || !FileMatchesSha256(path, file.sha256))
            return false;
    }
    return true;
}

bool CUpdater::FetchFile(UpdaterFileInfo& file)
{
    const WPARAM report = reinterpret_cast<WPARAM>(&file);
    const std::wstring target = WorkingFile(kDownloadFolderName) + file.name;

    FetchHooks hooks;
    hooks.expectedSize = file.size;
    hooks.sizeMatches = [&] {
        Report(WM_UPDATER_FILE_SIZE_OK_MSG, report, 0, 100);
        file.received = 0;
    };
    hooks.chunkWritten = [&](int64_t received, unsigned chunk) {
        file.received = static_cast<int32_t>(received);
        if (chunk % 50 == 0)
            Report(WM_UPDATER_FILE_PROGRESS_MSG, report, 0, 0);
    };
    const FetchResult result = HttpFetch(file.address, target, idle, hooks);
    switch (result.end) {
    case FetchEnd::Done:
        if (!FileMatchesSha256(target, file.sha256)) {
            // Not the file the vendor listed: it must not stay where the installer looks.
            DeleteFileW(target.c_str());
            file.status = -2;
            Report(WM_UPDATER_ERROR_MSG, report, 0, 1000);
            return false;
        }
        Report(WM_UPDATER_FILE_DONE_MSG, report, 0, 1000);
        return true;
    case FetchEnd::BadStatus:
        file.status = -2;
        Report(WM_UPDATER_ERROR_MSG, report, static_cast<LPARAM>(result.httpStatus), 1000);
        return false;
    case FetchEnd::SizeMismatch:
    case FetchEnd::TooLarge:
    case FetchEnd::BadAddress:
    case FetchEnd::InternetError:
        file.status = -2;
        Report(WM_UPDATER_ERROR_MSG, report, 0, 1000);
        return false;
    case FetchEnd::LocalFile:
        resultCode = kUpdaterLocalFile;
        Report(WM_UPDATER_ERROR_MSG, 0, 0, 1000);
        return false;
    case FetchEnd::WriteFailed:
        resultCode = kUpdaterLocalFile;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1000);
        return false;
    case FetchEnd::NoData:
        file.status = 0;
        Report(WM_UPDATER_ERROR_MSG, report, 0, 0);
        return false;
    case FetchEnd::Stopped:
        resultCode = kUpdaterStopped;
        Post(WM_UPDATER_ERROR_MSG, 0, 0, 1500);
        return false;
    }
    return false;
}

}  // namespace vw
