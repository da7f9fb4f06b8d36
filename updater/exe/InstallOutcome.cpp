#include "updater/exe/InstallOutcome.h"

#include "updater/UpdateReactions.h"

namespace vw {

namespace {

constexpr wchar_t kFilesInUseText[] = L"更新没有安装：程序目录中有文件正被其他程序使用。";
constexpr wchar_t kCannotWriteText[] = L"更新没有安装：无法写入程序目录（磁盘已满或没有写入权限）。";
constexpr wchar_t kDownloadDamagedText[] = L"更新没有安装：下载的更新文件不完整或已损坏。";
constexpr wchar_t kNoProgramFolderText[] = L"更新没有安装：找不到Vaultwren的程序目录。";
constexpr wchar_t kStillRunningText[] = L"更新没有安装：Vaultwren一直没有退出。";
constexpr wchar_t kRunnerStillRunsText[] = L"更新没有安装：命令行程序VaultwrenCmd一直在运行，没有结束。";
constexpr wchar_t kBadSignatureText[] = L"更新没有安装：更新文件的签名不正确，可能已被篡改。";
constexpr wchar_t kNotNewerText[] = L"更新没有安装：提供的版本不比已安装的版本新。";
constexpr wchar_t kRollbackFailedText[] =
    L"更新没有安装，而且原来的版本没能完全恢复。下次启动Vaultwren时会再次恢复；如果仍然不能使用，请重新安装Vaultwren。";
constexpr wchar_t kOldVersionStaysText[] = L"原来的版本没有改动，可以照常使用。";

struct Description {
    const wchar_t* text;  // null: nothing to tell
    const wchar_t* logWords;
    bool oldVersionStays = true;
};

Description Describe(InstallOutcome outcome)
{
    switch (outcome) {
    case InstallOutcome::Installed:
        return {nullptr, L"installed"};
    case InstallOutcome::FilesInUse:
        return {kFilesInUseText, L"not installed, a file is in use"};
    case InstallOutcome::CannotWrite:
        return {kCannotWriteText, L"not installed, the program folder cannot be written"};
    case InstallOutcome::DownloadDamaged:
        return {kDownloadDamagedText, L"not installed, the download is incomplete or damaged"};
    case InstallOutcome::NoProgramFolder:
        return {kNoProgramFolderText, L"not installed, no program folder"};
    case InstallOutcome::StillRunning:
        return {kStillRunningText, L"not installed, Vaultwren still runs"};
    case InstallOutcome::RunnerStillRuns:
        return {kRunnerStillRunsText, L"not installed, VaultwrenCmd still runs"};
    case InstallOutcome::BadSignature:
        return {kBadSignatureText, L"not installed, the manifest's signature is wrong"};
    case InstallOutcome::NotNewer:
        return {kNotNewerText, L"not installed, not newer than the installed version"};
    case InstallOutcome::RollbackFailed:
        return {kRollbackFailedText, L"not installed, and the old version could not be put back", false};
    }
    return {nullptr, L""};
}

}  // namespace

bool IsFileInUse(const InstallResult& result)
{
    return result.end == InstallEnd::CopyFailed &&
           (result.error == ERROR_SHARING_VIOLATION || result.error == ERROR_LOCK_VIOLATION);
}

bool MayPass(const InstallResult& result)
{
    return IsFileInUse(result) || (result.end == InstallEnd::CopyFailed && result.error == ERROR_ACCESS_DENIED);
}

InstallOutcome OutcomeOf(const InstallResult& result)
{
    switch (result.end) {
    case InstallEnd::Installed:
        return InstallOutcome::Installed;
    case InstallEnd::NotAProgramFolder:
        return InstallOutcome::NoProgramFolder;
    case InstallEnd::CopyFailed:
        return IsFileInUse(result) ? InstallOutcome::FilesInUse : InstallOutcome::CannotWrite;
    case InstallEnd::BadSignature:
        return InstallOutcome::BadSignature;
    case InstallEnd::NotNewer:
        return InstallOutcome::NotNewer;
    case InstallEnd::RollbackFailed:
        return InstallOutcome::RollbackFailed;
    case InstallEnd::NoManifest:
    case InstallEnd::Refused:
        break;
    }
    return InstallOutcome::DownloadDamaged;
}

std::wstring FailureMessage(InstallOutcome outcome)
{
    const Description description = Describe(outcome);
    if (!description.text)
        return std::wstring();
    if (!description.oldVersionStays)
        return description.text;
    return std::wstring(description.text) + L"\n" + kOldVersionStaysText;
}

void TellUser(const std::wstring& message)
{
    MessageBoxW(nullptr, message.c_str(), kUpdateCaption,
                MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL | MB_TOPMOST | MB_SETFOREGROUND);
}

std::wstring LogLine(InstallOutcome outcome, const std::wstring& version, const InstallResult& result)
{
    std::wstring line = (version.empty() ? L"?" : version) + L": " + Describe(outcome).logWords;
    if (outcome != InstallOutcome::Installed && !result.file.empty())
        line += L" - " + result.file;
    if (result.error != 0)
        line += L" (error " + std::to_wstring(result.error) + L")";
    return line;
}

}  // namespace vw
