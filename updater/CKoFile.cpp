#include "updater/CKoFile.h"

#include "updater/ProgramFolders.h"

namespace vw {

bool CKoFile::Open(const std::wstring& path, unsigned flags, DWORD* error)
{
    Close();
    path_ = path;
    const bool create = (flags & modeCreate) != 0;
    if (create && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !MakeParentFolders(path)) {
        if (error)
            *error = GetLastError();
        return false;
    }
    DWORD access = GENERIC_READ;
    if (flags & modeWrite)
        access = GENERIC_WRITE;
    else if (flags & modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    file_.reset(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_ && error)
        *error = GetLastError();
    return file_.valid();
}

bool CKoFile::Write(const void* data, DWORD bytes)
{
    DWORD written = 0;
    return file_ && WriteFile(file_.get(), data, bytes, &written, nullptr) && written == bytes;
}

}  // namespace vw
