#pragma once

// Timing whole programs side by side: each run is a child process, so that its
// wall time and peak memory are its own, whether it is a peer tool or our
// code in a forked child.

#include <functional>
#include <string>
#include <vector>

namespace vaultpack::bench {

struct ChildRun {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time, all threads
    long peakKiB = 0;       // the child's ru_maxrss
    bool succeeded = false;
};

// Runs a program found on PATH with these arguments (no shell), its standard
// output discarded.
ChildRun RunCommand(const std::vector<std::string>& arguments);

// Runs `work` in a forked child; it succeeds when `work` returns true.
ChildRun RunInChild(const std::function<bool()>& work);

// Keeps the shortest time (with its processor time) and the largest peak of a
// tool's runs; a failed run ends the program, naming `what`.
void Keep(ChildRun& best, const ChildRun& run, const std::string& what);

}  // namespace vaultpack::bench
