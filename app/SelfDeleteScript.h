#pragma once

#include <filesystem>
#include <system_error>

#include <sys/types.h>

namespace vaultpack {

// What the uninstall leaves to a script, because the program file is removed
// only once the program has ended: wait for the program's process to end,
// remove the program file, remove the default folder if it is empty, remove
// the script itself.
struct SelfDeleteScript {
    std::filesystem::path programFile;
    std::filesystem::path defaultInstallFolder;  // may be empty: then nothing is removed there
    std::filesystem::path scriptFile;
    pid_t programProcess = 0;
};

// The script's usual place: "_uninsep.sh" in the temporary folder.
std::filesystem::path SelfDeleteScriptPath();

// Writes the POSIX shell script, replacing an old file of that name (never
// writing through a link that stands there). Every path is quoted so that no
// character in it (a blank, a quote, "$", a backquote, a line feed) ends the
// word or is read by the shell. Throws FileError when it cannot be written.
void WriteSelfDeleteScript(const SelfDeleteScript& script);

// Starts the written script with /bin/sh, detached: no terminal, no window,
// and it outlives the program.
std::error_code StartSelfDeleteScript(const SelfDeleteScript& script);

}  // namespace vaultpack
