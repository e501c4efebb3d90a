#pragma once

namespace vaultpack {

// Paths of temporary files and folders that should not outlive a process that
// ends abruptly, e.g. from a signal handler just before _exit. The registry
// keeps only the pointer: the string must stay alive and unchanged until the
// path is unregistered.

inline constexpr int kTemporaryPathSlots = 320;

// Returns a token for UnregisterTemporaryPath, or -1 when every slot is taken
// (the path is then simply not removed by RemoveRegisteredFiles).
int RegisterTemporaryPath(const char* path);

// Frees the slot; a token of -1 is ignored. Once this returns, no removal
// still reads the path, so its string may go.
void UnregisterTemporaryPath(int token);

// Removes every registered path, files first and then (empty) folders, so the
// order of registration does not matter. Async-signal-safe. It first waits
// for every GuardedCreation alive, so it must not run on a thread that holds
// one (threads that do should block the signals whose handlers call it).
void RemoveRegisteredFiles();

// Held while a file is made and registered on a thread other than the one
// that may end the process: a removal that begins meanwhile waits for it, so
// the new file is not missed. Once a removal has begun, allowed() is false
// and nothing may be made.
class GuardedCreation {
public:
    GuardedCreation();
    ~GuardedCreation();
    GuardedCreation(const GuardedCreation&) = delete;
    GuardedCreation& operator=(const GuardedCreation&) = delete;
    bool allowed() const { return allowed_; }

private:
    bool allowed_;
};

}  // namespace vaultpack
