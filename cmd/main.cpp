// VaultwrenCmd: list, add, run, clean, reset and remove backup tasks from a script or the Task
// Scheduler, on the same profile as Vaultwren.exe.
#include <string>
#include <vector>

#include "cmd/Arguments.h"
#include "cmd/Commands.h"
#include "cmd/Console.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + 1, argv + argc);
    std::wstring error;
    const auto arguments = vw::ParseArguments(args, error);
    if (!arguments) {
        vw::Console::Err(error + L"\r\n\r\n" + vw::kUsageText);
        return vw::kExitBadInput;
    }
    if (arguments->command == vw::Command::Help) {
        vw::Console::Out(vw::kUsageText);
        return vw::kExitOk;
    }
    return vw::RunCommand(*arguments);
}
