#pragma once
// What a verify or a restore run is asked to do. A front end fills the request in before it starts
// the run; from then on only the worker reads it.
#include <string>
#include <vector>

#include "task/RunKind.h"

namespace vw {

struct VerifyRequest {
    // Files whose bytes differ from the source's are copied again.
    bool repair = false;
};

struct RestoreRequest {
    // The folder the files go into (created when missing); never inside the destination.
    std::wstring target;
    // Files or folders relative to the source ("a\b.txt", "a\"); none: the whole mirror.
    std::vector<std::wstring> paths;
    // Each file's previous version from the history folder, where it has one.
    bool previous = false;
    // An existing file in the target is replaced; otherwise it is left alone and counted.
    bool overwrite = false;
};

}  // namespace vw
