#pragma once

#include <sys/types.h>

namespace vaultpack {

// Paths of temporary files and folders that should not outlive a process that
// ends abruptly, e.g. from a signal handler just before _exit. The registry
// keeps only the pointer: the string must stay alive and unchanged until the
// path is unregistered.

// What the jobs' own threads hold registered at once: per job its output or
// a scratch file with its folder, and an entry being written, for the three
// jobs the desktop program can run at once.
inline constexpr int kTemporaryPathSlots = 3 * 3;
// Extractions that may run at once: an unzip job and the unzip that follows a
// decrypt. Beyond that, workers leave entries to the job's thread.
inline constexpr int kExtractionsAtOnce = 2;
// What the workers of one extraction hold registered at once: a file for each
// entry of their window and the folders they made ahead, as
// zip/Extraction asserts.
inline constexpr int kMadeFilesAhead = 192 + 32;
// Beside them, a file written under a temporary name (where a file system has
// no unnamed files) per thread of an extraction that writes: its workers (at
// most 32, as zip/Extraction asserts) and the job's thread.
inline constexpr int kWritersPerExtraction = 32 + 1;
inline constexpr int kMadeFileSlots = kExtractionsAtOnce * (kMadeFilesAhead + kWritersPerExtraction);

// Private folders removed with everything in them: the scratch folders of the
// three jobs and those of archive windows open at once (a window beyond them
// keeps its folder until it closes, not at an abrupt end).
inline constexpr int kTemporaryTreeSlots = 64;

// Returns a token for UnregisterTemporaryPath, or -1 when every slot is taken
// (the path is then simply not removed by RemoveRegisteredFiles).
int RegisterTemporaryPath(const char* path);

// A folder that RemoveRegisteredFiles removes with its whole tree (links are
// removed, never followed). The path must stay alive as for RegisterTemporaryPath.
int RegisterTemporaryTree(const char* path);

// Removes a folder and everything in it now, however deep, following no
// link; async-signal-safe.
void RemoveTreeNow(const char* path);

// Frees the slot of a path, a tree or a made file; a token of -1 is ignored. Once this returns, no removal
// still reads the path, so its string may go.
void UnregisterTemporaryPath(int token);

// A file or folder made by name in an open folder: removed through that
// folder, and only while the name still stands for the very file that was
// made (same device and inode), so that a file someone put there meanwhile
// stays; a folder only when empty. The
// record must stay alive and unchanged, and its folder open, until it is
// unregistered with UnregisterTemporaryPath.
struct MadeFile {
    int folder = -1;
    const char* name = nullptr;
    dev_t device = 0;
    ino_t inode = 0;
};
// Returns a token, or -1 when every slot is taken.
int RegisterMadeFile(const MadeFile* file);
// Removes the file now when it is still the one made; async-signal-safe.
// True when it went.
bool RemoveMadeFile(const MadeFile& file);

// Removes every registered path and made file, files first and then (empty) folders, so the
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
