#include "gui/CVaultwrenApp.h"

#include <commctrl.h>
#include <ole2.h>

#include "app/CommandLine.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "run/LogWriter.h"
#include "ui/CVaultwrenDlg.h"
#include "updater/ProgramFolders.h"
#include "updater/UpdateJournal.h"

namespace vw {
namespace {

// OLE on the window's thread for as long as the window lives: the notice popup activates the
// browser control in place, which needs it (without it the popup shows no page).
struct OleForThisThread {
    OleForThisThread() : started(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleForThisThread()
    {
        if (started)
            ::OleUninitialize();
    }
    OleForThisThread(const OleForThisThread&) = delete;
    OleForThisThread& operator=(const OleForThisThread&) = delete;
    const bool started;
};

}  // namespace

int CVaultwrenApp::Run(HINSTANCE instance, const std::wstring& arguments)
{
    // A later instance goes on without the window class: its main window cannot be made, so it
    // ends below without showing anything (after the settings' defaults are in place).
    instanceLock_ = ClaimSingleInstance(instance);
    // An update that a kill or a power cut cut short is finished or undone before anything else of
    // this folder is used; while an Updater.exe still swaps, it holds the swap and this waits for nothing.
    std::wstring programFolder;
    if (ProgramFolderFile(programFolder, L""))
        FinishInterruptedUpdate(programFolder);

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    // After an update or a crash the restart manager starts the program again as it was started.
    ::RegisterApplicationRestart(arguments.c_str(), 0);

    LoadSettings(profile_, settings_);
    bool startMinimised = settings_.MinStart.load() != 0;
    const StartSwitches switches = ParseSwitches(arguments);
    LogWriter log(switches.log);
    if (switches.minimised) {
        startMinimised = true;
        log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren准备最小化启动");
    } else {
        log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren准备正常启动");
    }

    INT_PTR result = -1;
    {
        const OleForThisThread ole;
        CVaultwrenDlg window(instance, profile_, settings_, log, startMinimised);
        result = window.Run();
        if (window.WorkerLeftRunning()) {
            // Ended here, before the window and the tasks the worker still uses are destroyed;
            // the system takes the worker and releases the single-instance lock.
            log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren正常退出");
            ::ExitProcess(0);
        }
    }
    if (result == IDOK || result == IDCANCEL)
        log.WriteLine("CVaultwrenApp::InitInstance", L"Vaultwren正常退出");
    instanceLock_ = {};
    return 0;
}

}  // namespace vw
