#pragma once
// Opening files, folders and web addresses with the desktop's handlers, in place of the shell's
// "open" verb. Results follow the shell's convention: a value above 32 is success, and the failure
// codes mean what they mean there (2 file not found, 3 path not found, 5 access denied,
// 31 no application associated, ...). UI thread only.

#include <QString>
#include <functional>

namespace platform {

inline constexpr int kShellOpenOk = 33;
inline constexpr int kShellFileNotFound = 2;
inline constexpr int kShellPathNotFound = 3;
inline constexpr int kShellNoAssociation = 31;

// Opens a local file or folder, or a web address, with the desktop's default handler
// (QDesktopServices, then xdg-open). Does not wait for the opened program. A file whose type has no
// default application (as xdg-mime says) gives kShellNoAssociation without starting anything.
int ShellOpen(const QString& target);

// Opens a web address: ShellOpen first; on failure each command listed in $BROWSER (":"-separated,
// "%s" standing for the address, else the address appended), then x-www-browser. Returns the first attempt's
// code when every fallback fails.
int OpenAddress(const QString& address);

// Replaces what ShellOpen does (platform::desktopHooks.shell_open; tests use it to see what would be opened
// and to simulate failures); an empty function restores the real one.
void SetShellOpenHandler(std::function<int(const QString&)> handler);

}  // namespace platform
