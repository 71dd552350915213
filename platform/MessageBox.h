#pragma once
// The message box is a hook: standard error until the GUI installs a real one.
#include <string>

namespace platform {

using MessageBoxHook = void (*)(const std::string& caption, const std::string& text);

// Installs a hook; nullptr restores the standard-error default. Returns the previous hook.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Shows a modal message with an OK button (caption, text in UTF-8).
void ShowMessageBox(const std::string& caption, const std::string& text);

}  // namespace platform
