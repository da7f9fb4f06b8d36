#pragma once
// Path rules and the small file-system primitives every walk of the engine uses.
// Paths are Windows paths; folders handed on inside the engine end with "\".
#include <string>

namespace vw {

// The path with "\" added when it is not empty and does not end with one.
std::wstring AppendBackslash(std::wstring path);
// folder + "\" + name (no second "\"); an empty folder gives an empty path.
std::wstring JoinName(const std::wstring& folder, const std::wstring& name);
// JoinName, then AppendBackslash: the path of a sub-folder; empty for an empty folder.
std::wstring JoinFolder(const std::wstring& folder, const std::wstring& name);

// The form of a path every file call of the engine takes: a path too long for the plain form gets
// the long form ("\\?\C:\…", "\\?\UNC\server\share\…"), its "." and ".." parts resolved;
// shorter paths and paths already in a long or device form stay as they are. What the user types
// and sees is always the plain form.
std::wstring LongPath(const std::wstring& path);

// The path names a folder (an existing one; files and missing paths are not).
bool IsFolder(const std::wstring& path);
// Something (file or folder) exists under the path.
bool PathExists(const std::wstring& path);

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
// The same with a second name (a hard link) in to\ instead of a move: from\name stays. A file
// of the name already in to\ is not replaced: the link then fails.
bool LinkFileKeepTimes(const std::wstring& name, const std::wstring& from, const std::wstring& to,
                       const std::wstring& model);
// Both paths name one file (two names of one hard-linked file, or the same name).
bool SameFile(const std::wstring& a, const std::wstring& b);
// Deletes a file of the engine's own folders (work folder, history) or a previous version it
// replaces: a read-only attribute does not keep it. A user's file is never passed here.
bool DeleteOwnedFile(const std::wstring& path);
// Clears the read-only attribute of a file the engine is about to move or replace as its own;
// gives the attributes it had (INVALID_FILE_ATTRIBUTES when they cannot be read).
unsigned long LiftReadOnly(const std::wstring& path);
// Sets the attributes LiftReadOnly gave back, when they held read-only.
void RestoreReadOnly(const std::wstring& path, unsigned long attributes);
// Copies creation, last-access and last-write time from source to target (files or folders).
bool CopyFileTimes(const std::wstring& target, const std::wstring& source);

// System error codes that end the whole run, not just the one file.
bool IsFatalCopyError(unsigned long code);

}  // namespace vw
