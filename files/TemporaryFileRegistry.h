#pragma once

namespace vaultpack {

// Paths of temporary files and folders that should not outlive a process that
// ends abruptly, e.g. from a signal handler just before _exit. The registry
// keeps only the pointer: the string must stay alive and unchanged until the
// path is unregistered.

inline constexpr int kTemporaryPathSlots = 64;

// Returns a token for UnregisterTemporaryPath, or -1 when every slot is taken
// (the path is then simply not removed by RemoveRegisteredFiles).
int RegisterTemporaryPath(const char* path);

// Frees the slot; a token of -1 is ignored. Once this returns, no removal
// still reads the path, so its string may go.
void UnregisterTemporaryPath(int token);

// Removes every registered path, files first and then (empty) folders, so the
// order of registration does not matter. Async-signal-safe.
void RemoveRegisteredFiles();

}  // namespace vaultpack
