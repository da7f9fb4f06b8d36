#pragma once
// The console runner's command line.
#include <optional>
#include <string>
#include <vector>

namespace vw {

enum class Command { Help, List, Add, Run, Clean, Reset, Remove, Verify, Restore };

struct Arguments {
    Command command = Command::Help;
    // add
    std::wstring name;
    std::wstring source;
    std::wstring dest;
    int history = 1;
    int follow = 1;
    bool force = false;
    // run, clean, reset, remove
    bool all = false;
    bool allowRemovals = false;  // run, clean: past the brake on removing more than half of a backup
    std::vector<std::wstring> tasks;
    // verify
    bool repair = false;
    // restore
    std::wstring restoreTo;
    std::vector<std::wstring> restorePaths;
    bool previous = false;
    bool overwrite = false;
};

// Empty with `error` set when the command line is not understood.
std::optional<Arguments> ParseArguments(const std::vector<std::wstring>& args, std::wstring& error);

extern const wchar_t kUsageText[];

}  // namespace vw
