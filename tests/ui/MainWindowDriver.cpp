#include "MainWindowDriver.h"

#include <atomic>
#include <utility>

#include "app/SingleInstance.h"
#include "resources/resource.h"
#include "task/CBackupItemList.h"
#include "ui/CVaultwrenDlg.h"
#include "win/Format.h"

namespace vwtest {

namespace {

using namespace std::chrono_literals;

HWND WindowOfThread(DWORD threadId)
{
    HWND found = nullptr;
    ::EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM out) -> BOOL {
            wchar_t name[64] = {};
            ::GetClassNameW(window, name, 64);
            if (std::wstring(name) != vw::kInstanceName)
                return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

MainWindowDriver::MainWindowDriver(vw::ProfileStore& profile, vw::AppSettings& settings, vw::LogWriter& log,
                                   bool startMinimised)
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    vw::RegisterMainWindowClass(instance);
    std::atomic<DWORD> threadId{0};
    thread_ = std::thread([&, instance, startMinimised] {
        threadId = ::GetCurrentThreadId();
        vw::CVaultwrenDlg dialog(instance, profile, settings, log, startMinimised);
        result_ = dialog.Run();
        ended_ = true;
    });
    WaitUntil([&] {
        if (ended_)
            return true;
        window_ = threadId ? WindowOfThread(threadId) : nullptr;
        // Made and through its initialisation: the title is set there.
        return window_ && WindowText(window_).rfind(L"Vaultwren v", 0) == 0;
    });
}

MainWindowDriver::~MainWindowDriver()
{
    if (!ended_ && window_)
        Exit();
    if (thread_.joinable())
        thread_.join();
}

HWND MainWindowDriver::List() const
{
    return Item(IDC_TASK_LIST);
}

HWND MainWindowDriver::Toolbar() const
{
    return Item(IDC_TOOLBAR);
}

void MainWindowDriver::Command(UINT id) const
{
    ::SendMessageW(window_, WM_COMMAND, id, 0);
}

void MainWindowDriver::Post(UINT id) const
{
    ::PostMessageW(window_, WM_COMMAND, id, 0);
}

bool MainWindowDriver::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) const
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

void MainWindowDriver::Exit()
{
    Post(ID_EXIT);
    if (thread_.joinable())
        thread_.join();
}

MainWindowFixture::MainWindowFixture(const std::wstring& keyName, const std::wstring& folderName,
                                     std::wstring destTail)
    : key_(keyName), destTail_(std::move(destTail)), profile(key_.path()), folder(kDiskM, folderName),
      dest(kDiskN, folderName)
{
}

void MainWindowFixture::AddTask(const std::wstring& name, const TaskContent& content)
{
    vw::CBackupItemList stored(profile, settings);
    stored.LoadAll();
    vw::CBackupItem* task = stored.AddNew();
    ASSERT_NE(task, nullptr);
    task->Name = name;
    task->Source = folder.path() + name;
    task->Dest = DestOf(name);
    task->History = content.history;
    task->Start = 0;  // no automatic run in the middle of a test
    ::CreateDirectoryW(task->Source.c_str(), nullptr);
    for (int i = 0; i < content.files; ++i)
        WriteFileBytes(task->Source + vw::Format(L"\\f%02d.txt", i), "data");
    if (content.bigBytes)
        WriteFileOfSize(task->Source + L"\\big.bin", content.bigBytes);
    ASSERT_TRUE(task->Save());
}

void MainWindowFixture::AddTask(const std::wstring& name, int files, uint64_t bigBytes)
{
    TaskContent content;
    content.files = files;
    content.bigBytes = bigBytes;
    AddTask(name, content);
}

std::unique_ptr<MainWindowDriver> MainWindowFixture::Open(bool startMinimised)
{
    auto driver = std::make_unique<MainWindowDriver>(profile, settings, log, startMinimised);
    EXPECT_NE(driver->window(), nullptr);
    return driver;
}

}  // namespace vwtest
