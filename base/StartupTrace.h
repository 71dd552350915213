#pragma once
// A start-up timeline for finding where the time to the first screen goes: with the
// environment variable QV_STARTUP_TRACE set, each call writes "startup <ms> <step>" to standard
// error, the milliseconds counted from the first call. Without it a call costs one test.
void StartupTrace(const char* step);
