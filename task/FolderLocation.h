#pragma once
// Where a folder path really leads, so that two paths written differently can be compared:
// "S:\X\..\Data", "S:\Data.", an 8.3 short name and a junction or directory link to S:\Data all
// lead to S:\Data. Used by the task-input check and again by a run before it touches anything.
#include <string>

namespace vw {

// The full path ("." and ".." parts resolved, parts without their trailing dots and spaces, as
// Windows opens them), with the longest part that exists replaced by its final location through
// links, in long names; the rest follows as written. No closing backslash except on a root.
std::wstring RealFolderLocation(const std::wstring& folder);

enum class FolderOverlap { None, Same, DestInsideSource, SourceInsideDest };

// How a task's source and destination folders lie to each other, by their real locations.
FolderOverlap FindFolderOverlap(const std::wstring& source, const std::wstring& dest);

// True when `inner` lies somewhere below the folder `outer`, compared as written. A name that
// merely begins with the other one ("D:\DataBackup" and "D:\Data") is a sibling.
bool IsBelowFolder(const std::wstring& inner, const std::wstring& outer);

}  // namespace vw
