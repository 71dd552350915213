#include "platform/MessageBox.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {
void StderrMessageBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}
std::atomic<MessageBoxHook> g_hook{&StderrMessageBox};
}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return g_hook.exchange(hook ? hook : &StderrMessageBox);
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
    g_hook.load()(caption, text);
}

}  // namespace platform
