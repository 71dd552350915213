// A broken service plug-in for tests: it lacks the Release export.
#include "quilvane/plugin.h"

extern "C" {

QV_PLUGIN_EXPORT void Initialize(const wchar_t*) {}

QV_PLUGIN_EXPORT int32_t RequestService(QvText*) {
    return 77;
}

}  // extern "C"
