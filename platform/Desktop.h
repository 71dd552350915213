#pragma once
// The user's desktop directory and atomic file replacement, for the desktop entry.
#include <string>
#include <string_view>

namespace platform {

// Environment variable that redirects the desktop directory (tests, kiosk images).
inline constexpr const char kDesktopDirVariable[] = "QV_DESKTOP_DIR";

// The user's desktop directory: QV_DESKTOP_DIR when set; else XDG_DESKTOP_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else the variable XDG_DESKTOP_DIR;
// else ~/Desktop. Empty when no home directory is known.
std::string DesktopDirectory();

// Makes dir, the user's desktop directory, when it is missing, as a desktop's first start
// would: only below an existing home directory (mode 0755 less the umask), never the
// QV_DESKTOP_DIR redirect, whose directory the image provides. 0 when dir is a directory now,
// else the system error (ENOENT for a missing directory that is not one to make).
int MakeDesktopDirectory(const std::string& dir);

// The value of XDG_DESKTOP_DIR in the text of a user-dirs.dirs file ("$HOME/..." expanded with
// home, or an absolute path); empty when absent or malformed.
std::string ParseUserDirsDesktop(std::string_view text, const std::string& home);

// Replaces path with bytes: a temporary file in the same directory, written, flushed and given
// mode, then renamed over path and the directory flushed, so readers see the old or the new
// file, never a part, even after a power cut. Returns 0 or the system error code; on failure
// path is left as it was.
int WriteFileAtomically(const std::string& path, std::string_view bytes, unsigned mode);
// The same without waiting for the disk: readers see the old or the new file, never a part,
// and a killed process loses nothing; the caller flushes the file and its directory later
// (fsync, FlushDirectoryOf) to last a power cut as well.
int ReplaceFileUnflushed(const std::string& path, std::string_view bytes, unsigned mode);
// Flushes the directory holding path (so that a rename in it lasts a power cut).
void FlushDirectoryOf(const std::string& path);

}  // namespace platform
