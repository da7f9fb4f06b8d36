#pragma once
// The Chinese text of a run's last error: a system error code or one of the engine's own codes.
#include <cstdint>
#include <string>

namespace vw {

// The engine's own error codes.
enum EngineError : uint32_t {
    ERR_DEST_LETTER_CHANGED = 100001,
    ERR_SOURCE_FILE_MISSING = 100002,
    ERR_DEST_FILE_MISSING = 100003,
    ERR_SOURCE_FOLDER_MISSING = 100004,
    ERR_DEST_FOLDER_MISSING = 100005,
    ERR_TASK_CONFIG = 100006,
    ERR_FOLDERS_OVERLAP = 100007,
    ERR_DEST_IS_FILE = 100008,
    ERR_DEST_NAME_UNUSABLE = 100009,
    ERR_SOURCE_CHANGING = 100010,
    ERR_REMOVALS_HELD = 100011,
    ERR_NEVER_BACKED_UP = 100012,
    ERR_RESTORE_TARGET_IN_DEST = 100013,
    ERR_RESTORE_PATH_UNUSABLE = 100014,
    ERR_RESTORE_TARGET_UNUSABLE = 100015,
};

// "未知错误" for a code without a row.
std::wstring SystemErrorText(uint32_t code);

}  // namespace vw
