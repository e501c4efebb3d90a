#pragma once

namespace vaultpack {

// Lets every thread allocate from one shared arena. glibc otherwise gives
// each new thread an arena of its own and reserves 64 MiB of address space
// for it, so that under an address-space limit (ulimit -v) a job with more
// worker threads failed where one with fewer went through. The threads here
// allocate a buffer or two per file, which one arena serves as fast (measured
// on create and extract). Called first thing by each program, before any
// thread starts.
void ShareOneAllocatorArena();

}  // namespace vaultpack
