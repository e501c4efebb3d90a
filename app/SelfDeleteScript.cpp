#include "app/SelfDeleteScript.h"

#include <cerrno>
#include <string>

#include "app/ProcessStart.h"
#include "files/FileHandle.h"

namespace vaultpack {

namespace {

// Single quotes keep every character as it is, a line feed too; a single
// quote itself ends the quoted part, is written escaped, and a new one begins.
std::string ShellQuoted(const std::filesystem::path& path) {
    std::string quoted = "'";
    for (const char character : path.native()) {
        if (character == '\'') {
            quoted += "'\\''";
        } else {
            quoted += character;
        }
    }
    return quoted + "'";
}

std::string ScriptText(const SelfDeleteScript& script) {
    return "#!/bin/sh\n"
           "# Left by \"vaultpack -u\": removes the program file once the program has\n"
           "# ended, then the default folder if it is empty, then this script.\n"
           "while kill -0 " +
           std::to_string(script.programProcess) +
           " 2>/dev/null; do sleep 1; done\n"
           "rm -f -- " +
           ShellQuoted(script.programFile) +
           "\n"
           "rmdir -- " +
           ShellQuoted(script.defaultInstallFolder) +
           " 2>/dev/null\n"
           "rm -f -- " +
           ShellQuoted(script.scriptFile) + "\n";
}

}  // namespace

std::filesystem::path SelfDeleteScriptPath() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return (error ? std::filesystem::path("/tmp") : folder) / "_uninsep.sh";
}

void WriteSelfDeleteScript(const SelfDeleteScript& script) {
    // The temporary folder is shared: an old script, or a link someone put in
    // its place, is removed (not followed) and the new file made afresh.
    std::error_code error;
    std::filesystem::remove(script.scriptFile, error);
    FileHandle file;
    if (!FileHandle::CreateNew(script.scriptFile, file, 0700)) {
        throw FileError(FileOperation::Create, script.scriptFile, error ? error.value() : EEXIST);
    }
    const std::string text = ScriptText(script);
    file.WriteAll(text.data(), text.size());
    file.Close();
}

std::error_code StartSelfDeleteScript(const SelfDeleteScript& script) {
    return StartDetached({"/bin/sh", script.scriptFile.string()});
}

}  // namespace vaultpack
