#pragma once
// The application object: single instance, common controls, restart registration, settings,
// command-line switches, the start line of the log, the main window's modal life and the exit line.
#include <windows.h>

#include <string>

#include "app/SingleInstance.h"
#include "task/AppSettings.h"
#include "win/ProfileStore.h"
#include "win/UniqueHandle.h"

namespace vw {

class CVaultwrenApp {
public:
    CVaultwrenApp() = default;
    CVaultwrenApp(const CVaultwrenApp&) = delete;
    CVaultwrenApp& operator=(const CVaultwrenApp&) = delete;

    // The whole program run; `arguments` is the command line after the program's own path.
    // The process's exit code.
    int Run(HINSTANCE instance, const std::wstring& arguments);

private:
    InstanceLock instanceLock_;
    ProfileStore profile_{kProgramProfileKey};
    AppSettings settings_;
};

}  // namespace vw
