// Copies one file with the engine's copy and prints how long the copy itself took, so the
// benchmark script can set it against cp without Wine's start-up time.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/CopyWithProgress.h"
#include "engine/RunContext.h"
#include "task/AppSettings.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: copybench SOURCE DESTINATION [SPEED]\n");
        return 2;
    }
    vw::AppSettings settings;
    if (argc > 3)
        settings.Speed = _wtoi(argv[3]);
    vw::RunContext context(settings);
    context.stopFlag = 0;

    const auto start = std::chrono::steady_clock::now();
    const bool copied = vw::CopyWithProgress(context, argv[1], argv[2], L"bench");
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!copied) {
        std::fprintf(stderr, "copy failed: error %lu\n", static_cast<unsigned long>(context.lastError.load()));
        return 1;
    }
    std::printf("copy %.3f s %llu bytes\n", elapsed, static_cast<unsigned long long>(context.bytesTransferred.load()));
    return 0;
}
