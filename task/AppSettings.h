#pragma once
// The three settings every part reads live: start minimised, the minimum minutes between two
// automatic runs of a task, and the copy slow-down. app/ loads and stores them.
#include <atomic>
#include <cstdint>

namespace vw {

struct AppSettings {
    std::atomic<int32_t> MinStart{0};
    std::atomic<int32_t> MinTime{120};
    std::atomic<int32_t> Speed{0};
};

}  // namespace vw
