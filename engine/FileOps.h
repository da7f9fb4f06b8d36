#pragma once
// Path rules and the small file-system primitives every walk of the engine uses.
// Paths are Windows paths; folders handed on inside the engine end with "\".
#include <string>

namespace vw {

// Adds "\" to a non-empty path that does not end with one.
void AppendBackslash(std::wstring& path);
// path + "\" + name; an empty path stays empty.
void JoinName(std::wstring& path, const std::wstring& name);
// JoinName, then AppendBackslash; an empty path stays empty.
void JoinFolder(std::wstring& path, const std::wstring& name);

// By the first entry a search finds (a drive root "X:" is looked at as "X:\*.*").
bool FolderExists(const std::wstring& path);
// True when the listing holds nothing but "." and "..", or cannot start.
bool FolderIsEmpty(const std::wstring& folder);
// Creates every missing folder of a path ("C:\a\b\" or the folder part of "C:\a\b\f.txt").
bool CreateFolderTree(const std::wstring& path);
// Moves from\name into to\ (created when missing, the new folder taking the model folder's
// times, or from's), replacing a file there and keeping the file's own times.
bool MoveFileKeepTimes(const std::wstring& name, const std::wstring& from, const std::wstring& to,
                       const std::wstring& model);
// Copies creation, last-access and last-write time from source to target (files or folders).
bool CopyFileTimes(const std::wstring& target, const std::wstring& source);

// System error codes that end the whole run, not just the one file.
bool IsFatalCopyError(unsigned long code);

}  // namespace vw
