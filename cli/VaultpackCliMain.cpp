// vaultpack-cli: the jobs of Vaultpack from a terminal.

#include <exception>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "app/MessageRendering.h"
#include "app/TerminationSignals.h"
#include "app/VersionText.h"
#include "cli/CommandRunner.h"
#include "app/PrintableText.h"
#include "cli/TtyTerminal.h"
#include "files/AllocatorArenas.h"
#include "jobs/FailureReasons.h"

int main(int argc, char** argv) {
    using namespace vaultpack;
    ShareOneAllocatorArena();
    ProgramVersionText().AppendBuildStamp();
    InstallTerminationHandlersWithCancellingInterrupt("\nvaultpack-cli: stopping; Ctrl-C again ends at once\n",
                                                      static_cast<int>(ExitStatus::Cancelled));

    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.command) {
        std::cerr << "vaultpack-cli: " << PrintableText(parsed.error, false) << '\n' << UsageLine() << '\n';
        return static_cast<int>(ExitStatus::BadInput);
    }

    const MessageCatalogue catalogue(MessageCatalogue::SystemLanguage());
    try {
        const std::unique_ptr<TtyTerminal> terminal = TtyTerminal::Open();
        std::optional<ProgressBar> progressBar;
        if (::isatty(STDERR_FILENO) == 1) {
            progressBar.emplace(std::cerr, TerminalColumns(STDERR_FILENO));
        }
        const CliConsole console{catalogue,     terminal.get(), std::cout,
                                 std::cerr,     STDIN_FILENO,   InterruptFlag(),
                                 progressBar ? &*progressBar : nullptr};
        return static_cast<int>(RunCommand(*parsed.command, console));
    } catch (const std::exception& error) {
        // No thread for the job, no memory: said in the user's language, as the jobs say it.
        std::cerr << "vaultpack-cli: " << PrintableText(RenderMessageLine(catalogue, ReasonLine(error)), false)
                  << '\n';
        return static_cast<int>(ExitStatus::Failed);
    }
}
