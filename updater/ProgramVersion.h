#pragma once
// The installed version is what a program file says of itself (its version resource's
// "ProductVersion" text, "1.10"), not a profile text that other programs may leave stale.
#include <optional>
#include <string>

namespace vw {

// The version of the program file at `path`, as a number (VersionNumber.h); nothing when the file
// has no readable version resource or its text is no version.
std::optional<double> FileVersionNumber(const std::wstring& path);
// The running program's own.
std::optional<double> RunningProgramVersion();

}  // namespace vw
