#include "base/StartupTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void StartupTrace(const char* step) {
    using Clock = std::chrono::steady_clock;
    static const bool enabled = std::getenv("QV_STARTUP_TRACE") != nullptr;
    if (!enabled)
        return;
    static const Clock::time_point start = Clock::now();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::fprintf(stderr, "startup %8.2f %s\n", ms, step);
}
