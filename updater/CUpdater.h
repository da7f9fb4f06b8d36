#pragma once
// The updater: one worker thread at a time, either the check (is a newer version offered?) or the
// download of that version's files. It reports to the main window by posted messages only.
//
// States: idle (no thread, idle flag 1) -> checking (idle 0) -> check ended (thread done, idle
// still 0 until the window's Stop) -> idle or downloading (idle 0) -> download ended (the thread
// raises idle itself). Stop always returns to idle and frees the file list.
//
// Sharing without a lock: the window sets the window handle, result code and idle flag only
// before a thread starts; the worker fills the notice fields, the offered version and the file
// list while it runs, and the window reads them only after the thread's end message. The idle,
// go-ahead and automatic flags change while a thread runs and are atomics.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "updater/HttpFetch.h"
#include "win/UniqueHandle.h"

namespace vw {

struct ManifestFile;

// One file of the new version.
struct UpdaterFileInfo {
    int32_t number = 0;     // 1-based, as in the manifest
    int64_t size = 0;       // expected bytes
    int64_t received = 0;   // bytes written so far; -1: failed, fetched again in the next pass
    int32_t status = 1;     // 1 created; -2 bad status, size or request error; 0 a read gave nothing
    std::wstring name;      // relative to the download folder
    std::wstring address;
    std::wstring sha256;
};

// Why the last operation failed.
enum UpdaterResult : int32_t {
    kUpdaterNoFailure = 0,     // also: a read of the manifest returned no data
    kUpdaterNoSetup = 1,       // no address, no UPDATER key or no manifest to download from
    kUpdaterFetchFailed = 2,   // the manifest (or its signature) could not be fetched
    kUpdaterLocalFile = 4,     // a local file could not be made or written
    kUpdaterStopped = 5,
    kUpdaterBadSignature = 6,  // the manifest or its signature is missing, or the signature is not the vendor's
    kUpdaterBadManifest = 7,   // a signed manifest without a well-formed version, or with a refused file list
    kUpdaterBadStatus = -2,    // the manifest request's status was not 200 (reported as 2)
};

inline constexpr wchar_t kUpdaterSubPath[] = L"Software\\Morrowfen\\Vaultwren\\";
inline constexpr wchar_t kUpdaterProgramName[] = L"Updater.exe";

class CUpdater {
public:
    // `registrySubPath` below HKEY_CURRENT_USER names the profile (whose UPDATER key is read and
    // written) and, below the temporary folder, the working folder.
    explicit CUpdater(std::wstring registrySubPath = kUpdaterSubPath);
    ~CUpdater();
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    // Both stop what runs first; true when the new thread runs.
    bool StartCheck(HWND window);
    bool StartDownload(HWND window);
    // Asks the thread to end, waits for it without a time limit, frees the file list. Ends the
    // generation: whatever the thread posted is stale from now on.
    void Stop();
    // Stop with a limit on the wait: false when the thread is still in a call (a network read
    // on a dead connection) after `limitMs`. It still uses this object then, which must not be
    // destroyed before the thread ends (or the process does).
    bool StopWithin(DWORD limitMs);
    // Each start begins a generation, which every message of its thread carries (UpdaterMessages.h).
    // The window ends it when it has had the operation's last word, before it shows anything: a
    // message still queued, or posted by a thread that winds down meanwhile, is then not acted on
    // a second time.
    void EndGeneration();
    // The message (its lParam) comes from the operation still going: not stopped nor ended.
    bool IsCurrent(LPARAM lParam) const;
    bool HasThread() const { return thread_.joinable(); }

    // <temporary folder>\<sub-path>\ + name; empty when there is no temporary folder.
    std::wstring WorkingFile(const std::wstring& name) const;

    std::atomic<int32_t> resultCode{kUpdaterNoFailure};
    std::atomic<int32_t> goAhead{0};
    std::atomic<int32_t> idle{1};
    std::atomic<int32_t> automatic{1};
    // The version this program is, which an offered version must exceed; set before a thread starts.
    double installedVersion = 0.0;

    // Filled by the worker; read by the window after the end message.
    std::wstring offeredVersion;
    std::wstring noticeUrl;
    int32_t noticeTime = 0;
    int32_t noticeType = 0;
    std::vector<std::unique_ptr<UpdaterFileInfo>> files;

private:
    bool Start(HWND window, void (CUpdater::*body)());
    void CheckThread();
    void DownloadThread();
    bool PrepareDownload();
    bool EarlierDownloadComplete(const std::vector<ManifestFile>& listed) const;
    bool FetchFile(UpdaterFileInfo& file);

    // A report the user sees only after asking for the update; `pauseMs` lets the window show it.
    void Report(UINT message, WPARAM wParam, LPARAM lParam, DWORD pauseMs);
    // Posted in both modes.
    void Post(UINT message, WPARAM wParam, LPARAM lParam, DWORD pauseMs);

    std::thread thread_;
    // Signalled by the thread as its last step.
    UniqueHandle threadEnded_;
    HWND window_ = nullptr;
    // The window's count of generations (its thread only) and the one the running thread posts with.
    uint16_t generation_ = 0;
    uint16_t threadGeneration_ = 0;
    std::wstring subPath_;
    std::wstring profileRoot_;
};

}  // namespace vw
