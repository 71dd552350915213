#pragma once
// Test programs that start the wizard run in namespaces of their own: the wizard counts its
// copies machine-wide, and the agent's and the automaton's shared blocks have fixed names, so
// copies started by other tests or other builds on the machine would collide with them.
#include <functional>

namespace tests {

struct Namespaces {
    // A private /tmp too (the X server's socket and lock); a build under /tmp is then hidden.
    bool privateTmp = false;
    // A private network with its loopback up.
    bool privateNetwork = false;
    // Without the right to make namespaces: true skips the program (CTest status 77), false
    // runs it where it is.
    bool required = false;
    const char* label = "tests";
};

// Runs the Google Test suite in new PID, mount and IPC namespaces (with /proc and /dev/shm of
// their own); process 1 there only reaps orphans. Returns the suite's exit status.
int RunInOwnNamespaces(int argc, char** argv, const Namespaces& how);

// The same for any program (a benchmark): body runs in the namespaces and its result is the
// exit status.
int RunInOwnNamespaces(const Namespaces& how, const std::function<int()>& body);

}  // namespace tests
