#pragma once

#include <atomic>
#include <ostream>

#include "app/MessageCatalogue.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/ProgressBar.h"
#include "cli/Terminal.h"

namespace vaultpack {

// What a run of vaultpack-cli talks to.
struct CliConsole {
    const MessageCatalogue& catalogue;
    Terminal* terminal;  // null when there is no terminal to ask on
    std::ostream& output;
    std::ostream& errors;
    int standardInput;  // read by --password-file -
    const std::atomic<bool>& cancelFlag;
    ProgressBar* progressBar;  // null unless the errors go to a terminal
};

// Runs one parsed command to its end and returns its exit status.
ExitStatus RunCommand(const CommandLine& command, const CliConsole& console);

}  // namespace vaultpack
