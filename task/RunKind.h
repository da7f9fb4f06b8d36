#pragma once
// The kinds of run a task can be in, and the word each is called by in the window's texts.
#include <cstdint>

namespace vw {

// RunContext::cleaningRun holds one of these: a backup run belongs to a batch of backups, the
// others are each a batch of their own.
enum class RunKind : int32_t { Backup = 0, Cleaning = 1, Verify = 2, Restore = 3 };

// "备份", "清理", "校验", "恢复"; a value of no kind reads as a backup.
const wchar_t* RunKindWord(int32_t runKind);

}  // namespace vw
