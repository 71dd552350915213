#pragma once
// The shell's taskbar, hidden in modal mode and shown again at exit. X11 and Wayland have no
// such window that a program may hide (the full-screen, stay-on-top frame covers panels), so
// these find nothing and change nothing on Linux; the callers keep their logic and flags.
namespace platform {

// True when the taskbar window exists.
bool FindTaskbar();
// Hides or shows it; false when there is none.
bool HideTaskbar();
bool ShowTaskbar();

}  // namespace platform
