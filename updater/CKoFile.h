#pragma once
// A file opened for the updater's downloads: an open that creates the file first makes the
// folders its path needs, so a download into a folder that does not exist yet still lands.
#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

namespace vw {

class CKoFile {
public:
    // Open flags, combined with |.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned modeWrite = 0x0001;
    static constexpr unsigned modeReadWrite = 0x0002;
    static constexpr unsigned modeCreate = 0x1000;

    // modeCreate empties an existing file. Fails, leaving the file closed, when the folders
    // cannot be made or the file cannot be opened; `error` then holds the system's code.
    bool Open(const std::wstring& path, unsigned flags, DWORD* error = nullptr);
    // The whole block or false.
    bool Write(const void* data, DWORD bytes);
    void Close() { file_.reset(); }

    bool IsOpen() const { return file_.valid(); }
    const std::wstring& GetFilePath() const { return path_; }

private:
    UniqueFile file_;
    std::wstring path_;
};

}  // namespace vw
