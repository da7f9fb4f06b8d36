#include "cmd/BatchLoop.h"

#include <algorithm>
#include <atomic>

#include "cmd/Commands.h"
#include "cmd/Console.h"
#include "engine/Notifications.h"
#include "engine/RunContext.h"
#include "run/RunController.h"
#include "task/RunKind.h"
#include "win/Format.h"

namespace vw {

namespace {

constexpr wchar_t kClassName[] = L"VaultwrenCmdBatch";
constexpr UINT WM_CONSOLE_STOP = WM_APP + 1;

// Ctrl+C and the console closing stop the batch the way the window's stop command does.
std::atomic<HWND> g_stopTarget{nullptr};
// Set once the batch has ended (its last lines written, the task's LastTime stored).
std::atomic<HANDLE> g_batchEnded{nullptr};

// How long a console close, logoff or shutdown waits for the batch to end: the system ends the
// process when the handler returns, and after about five seconds anyway.
constexpr DWORD kEndWaitMs = 4000;

}  // namespace

BOOL WINAPI BatchConsoleEvent(DWORD event)
{
    const HWND window = g_stopTarget.load();
    if (!window)
        return FALSE;
    PostMessageW(window, WM_CONSOLE_STOP, 0, 0);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        if (const HANDLE ended = g_batchEnded.load())
            WaitForSingleObject(ended, kEndWaitMs);
    }
    return TRUE;
}

std::wstring ProgressLine(int32_t runKind, const std::wstring& fileName, double progress)
{
    return Format(L"正在%s：“%s” %3.1f%%   ", RunKindWord(runKind), fileName.c_str(), progress);
}

int ExitCodeOf(const BatchOutcome& outcome)
{
    return outcome.runsFailed > 0 || outcome.filesFailed > 0 || outcome.stopped ? kExitRunFailed : kExitOk;
}

BatchLoop::BatchLoop(RunController& controller, RunContext& context)
    : controller_(controller), context_(context), terminal_(Console::OutIsTerminal())
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &BatchLoop::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    controller_.ResetRun(window_);
    ended_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_batchEnded = ended_.get();
    g_stopTarget = window_;
    SetConsoleCtrlHandler(BatchConsoleEvent, TRUE);
}

BatchLoop::~BatchLoop()
{
    SetConsoleCtrlHandler(BatchConsoleEvent, FALSE);
    g_stopTarget = nullptr;
    DestroyWindow(window_);
    // A handler still waiting is let go before the event closes.
    SetEvent(ended_.get());
    g_batchEnded = nullptr;
}

LRESULT CALLBACK BatchLoop::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<BatchLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_CONSOLE_STOP) {
        self->OnMessage(message, wParam);
        return 0;
    }
    if (self && message >= WM_DISK_SPACE_LOW_MSG && message <= WM_BACKUP_THREAD_PAUSE_MSG) {
        // A message of a run that was stopped since it was posted is stale.
        if (self->context_.IsCurrent(lParam))
            self->OnMessage(message, wParam);
        return 0;
    }
    // Task timers are not served here: the console runs what it was asked to, nothing more.
    return DefWindowProcW(window, message, wParam, lParam);
}

void BatchLoop::OnMessage(UINT message, WPARAM wParam)
{
    if (message == WM_CONSOLE_STOP) {
        controller_.StopAll();
        return;
    }
    if (message == WM_DISK_SPACE_LOW_MSG)
        Console::Out(Format(L"%c盘空间已小于100MB，您可以使用清理历史文件功能释放磁盘空间！\r\n",
                            static_cast<wchar_t>(wParam)));
    if (message == WM_BACKUP_FINISH_MSG && !finished_) {
        // The first end is the batch's. The controller's end of the batch clears the counters:
        // read them first.
        outcome_.runsFailed = context_.runsFailed.load();
        outcome_.filesFailed = context_.filesFailed.load();
        outcome_.stopped = wParam != 0;
    }
    controller_.HandleMessage(message, wParam);
    if (message == WM_BACKUP_FINISH_MSG)
        finished_ = true;
}

void BatchLoop::PrintNewLines()
{
    // The console never trims the history, so it only grows.
    const std::wstring history = context_.StatusHistory();
    if (history.size() <= printed_)
        return;
    if (progressShown_) {
        Console::Out(L"\r" + std::wstring(static_cast<size_t>(ProgressColumns()), L' ') + L"\r");
        progressShown_ = false;
    }
    Console::Out(history.substr(printed_));
    printed_ = history.size();
}

void BatchLoop::PrintProgress()
{
    if (!terminal_ || !context_.copying.load())
        return;
    const ULONGLONG now = GetTickCount64();
    if (now - lastProgress_ < 1000)
        return;
    lastProgress_ = now;
    // Kept within one line: a line that wraps leaves a trail of partial lines behind the "\r".
    Console::Out(L"\r" + FitToColumns(ProgressLine(context_.cleaningRun.load(), context_.CurrentFile(),
                                                     context_.progress.load()),
                                        ProgressColumns()));
    progressShown_ = true;
}

void BatchLoop::Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int BatchLoop::ProgressColumns()
{
    // One cell short of the width: writing the last cell moves some consoles to the next line.
    return std::max(Console::Columns() - 1, 1);
}

BatchOutcome BatchLoop::Run()
{
    // A batch that ended before this loop began (its worker could not be made) has posted its end
    // already: that end carries the outcome.
    Pump();
    if (!finished_ && context_.batchActive.load() == 0)
        finished_ = true;
    while (!finished_) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
        Pump();
        PrintNewLines();
        PrintProgress();
    }
    PrintNewLines();
    SetEvent(ended_.get());
    return outcome_;
}

}  // namespace vw
