#include "engine/RunContext.h"

#include "task/CBackupItem.h"
#include "win/Format.h"

namespace vw {

namespace {

// GetVersionExW reports the version in the program's manifest, not the system's; ntdll tells the
// truth.
int32_t SystemMajorVersion()
{
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        const auto getVersion = reinterpret_cast<RtlGetVersionFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        if (getVersion && getVersion(&info) == 0)
            return static_cast<int32_t>(info.dwMajorVersion);
    }
    return 6;
}

}  // namespace

RunContext::RunContext(const AppSettings& settings) : settings(settings), windowsMajorVersion(SystemMajorVersion())
{
}

void RunContext::SetCurrentFile(const std::wstring& name)
{
    std::lock_guard guard(lock_);
    currentFile_ = name;
}

std::wstring RunContext::CurrentFile() const
{
    std::lock_guard guard(lock_);
    return currentFile_;
}

void RunContext::ResetCopyFields(const std::wstring& fileName)
{
    SetCurrentFile(fileName);
    totalBytes = 0;
    bytesTransferred = 0;
    progress = 0.0;
    cancelFlag = 0;
    pausedInCopy = 0;
    ClosePauseEvent();
}

bool RunContext::CreatePauseEvent()
{
    UniqueHandle event(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    const bool created = event.valid();
    std::lock_guard guard(lock_);
    pauseEvent_ = std::move(event);
    return created;
}

void RunContext::ClosePauseEvent()
{
    UniqueHandle closing;
    {
        std::lock_guard guard(lock_);
        closing = std::move(pauseEvent_);
    }
}

bool RunContext::HasPauseEvent() const
{
    std::lock_guard guard(lock_);
    return pauseEvent_.valid();
}

void RunContext::SetPauseEvent()
{
    std::lock_guard guard(lock_);
    if (pauseEvent_)
        SetEvent(pauseEvent_.get());
}

void RunContext::ResetPauseEvent()
{
    std::lock_guard guard(lock_);
    if (pauseEvent_)
        ResetEvent(pauseEvent_.get());
}

void RunContext::WaitPauseEvent()
{
    HANDLE event = nullptr;
    {
        std::lock_guard guard(lock_);
        event = pauseEvent_.get();
    }
    // Only the waiting worker closes the event, so the handle stays valid outside the lock.
    if (event)
        WaitForSingleObject(event, INFINITE);
}

void RunContext::AppendStatusLine(const std::wstring& text)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring line = Format(L"%04u-%02u-%02u %02u:%02u:%02u\t%s\r\n", now.wYear, now.wMonth, now.wDay,
                                     now.wHour, now.wMinute, now.wSecond, text.c_str());
    std::lock_guard guard(lock_);
    statusHistory_ += line;
}

void RunContext::TrimStatusHistory(int n)
{
    if (n <= 0)
        return;
    std::lock_guard guard(lock_);
    size_t end = 0;
    for (int i = 0; i < n; ++i) {
        const size_t feed = statusHistory_.find(L'\n', end);
        if (feed == std::wstring::npos) {
            statusHistory_.clear();
            return;
        }
        end = feed + 1;
    }
    statusHistory_.erase(0, end);
}

void RunContext::AddRetry(std::unique_ptr<CBackupFileInfo> entry)
{
    // The copiers of a pass add theirs side by side.
    std::lock_guard guard(lock_);
    retryList.push_back(std::move(entry));
    retryCount_ = static_cast<int32_t>(retryList.size());
}

void RunContext::ClearRetries()
{
    std::lock_guard guard(lock_);
    retryList.clear();
    retryCount_ = 0;
}

std::wstring RunContext::StatusHistory() const
{
    std::lock_guard guard(lock_);
    return statusHistory_;
}

int32_t RunContext::CurrentTaskState() const
{
    const CBackupItem* task = currentTask.load();
    return task ? task->state.load() : kRunIdle;
}

void RunContext::PostToWindow(UINT message, WPARAM wParam) const
{
    if (HWND target = window.load())
        PostMessageW(target, message, wParam, MAKELPARAM(0, generation_.load()));
}

void RunContext::NewGeneration()
{
    ++generation_;
}

bool RunContext::IsCurrent(LPARAM lParam) const
{
    return HIWORD(static_cast<DWORD>(lParam)) == generation_.load();
}

}  // namespace vw
