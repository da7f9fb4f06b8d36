// Vaultwren.exe: the tray program with its main window.
#include <windows.h>

#include "gui/CVaultwrenApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int)
{
    vw::CVaultwrenApp app;
    return app.Run(instance, arguments ? arguments : L"");
}
