#include "app/StartupArguments.h"

#include <algorithm>

namespace vaultpack {

bool PassesVersionTest(std::string_view argument) {
    constexpr std::string_view kVersionSwitch = "-v";
    const std::size_t compared = std::min<std::size_t>(argument.size(), kVersionSwitch.size());
    return argument.substr(0, compared) == kVersionSwitch.substr(0, compared);
}

StartupDecision DecideStartup(const std::vector<std::string>& arguments) {
    using Outcome = StartupDecision::Outcome;
    switch (arguments.size()) {
        case 0: return {Outcome::MainWindow, {}};
        case 1:
            if (PassesVersionTest(arguments[0])) {
                return {Outcome::PrintVersion, {}};
            }
            return {arguments[0] == "-u" ? Outcome::Uninstall : Outcome::MainWindow, {}};
        case 2:
            if (arguments[0] == "-d") {
                return {Outcome::DecryptAtStart, arguments[1]};
            }
            if (arguments[0] == "--open") {
                return {Outcome::OpenArchive, arguments[1]};
            }
            return {Outcome::Nothing, {}};
        default: return {Outcome::MainWindow, {}};
    }
}

}  // namespace vaultpack
