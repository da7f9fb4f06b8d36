#pragma once
// The name one running Vaultwren is known by: its named mutex (held while it runs) and its main
// window's class. The console runner and Updater.exe wait on the same mutex, and other programs
// may look for either, so the name never changes.
namespace vw {

inline constexpr wchar_t kInstanceName[] = L"CVaultwren";

}  // namespace vw
