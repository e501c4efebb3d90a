#include "cli/CommandLine.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

#include "app/PasswordRule.h"

namespace vaultpack {
namespace {

struct CommandName {
    std::string_view name;
    CommandKind kind;
    std::vector<std::string_view> options;
};

const std::array<CommandName, 5>& Commands() {
    static const std::array<CommandName, 5> commands = {{
        {"create", CommandKind::Create, {"--zip", "--aes", "--encrypt", "--order", "--hint", "--password-file", "--overwrite",
                                         "--threads", "--keep-going"}},
        {"decrypt", CommandKind::Decrypt, {"--password-file", "--overwrite"}},
        {"unzip", CommandKind::Unzip, {"--password-file", "--overwrite", "--keep-going"}},
        {"list", CommandKind::List, {}},
        {"info", CommandKind::Info, {}},
    }};
    return commands;
}

bool IsFlag(std::string_view option) {
    return option == "--zip" || option == "--aes" || option == "--encrypt" || option == "--keep-going";
}

ParsedCommandLine Error(std::string text) { return {std::nullopt, std::move(text)}; }

ParsedCommandLine Parsed(CommandKind kind) {
    CommandLine command;
    command.kind = kind;
    return {command, {}};
}

// Sets one option on the command; the reason when its value is not allowed.
std::optional<std::string> ApplyOption(CommandLine& command, std::string_view option, std::string_view value) {
    if (option == "--zip") {
        command.zip = true;
    } else if (option == "--aes") {
        command.aes = true;
    } else if (option == "--encrypt") {
        command.encrypt = true;
    } else if (option == "--keep-going") {
        command.keepGoing = true;
    } else if (option == "--order") {
        if (value == "encrypt-first") {
            command.order = 0;
        } else if (value == "zip-first") {
            command.order = 1;
        } else {
            return "--order takes encrypt-first or zip-first";
        }
    } else if (option == "--hint") {
        if (value.size() > kMaxHintLength) {
            return "the hint is longer than " + std::to_string(kMaxHintLength) + " bytes";
        }
        command.hint = value;
    } else if (option == "--password-file") {
        if (value.empty()) {
            return "--password-file needs a file name";
        }
        command.passwordFile = std::filesystem::path(value);
    } else if (option == "--threads") {
        unsigned threads = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
        if (error != std::errc() || end != value.data() + value.size() || threads == 0 || threads > 32) {
            return "--threads takes a number from 1 to 32";
        }
        command.threads = threads;
    } else if (option == "--overwrite") {
        if (value == "ask") {
            command.overwrite = OverwritePolicy::Ask;
        } else if (value == "yes") {
            command.overwrite = OverwritePolicy::Yes;
        } else if (value == "no") {
            command.overwrite = OverwritePolicy::No;
        } else {
            return "--overwrite takes ask, yes or no";
        }
    }
    return std::nullopt;
}

// Places the operands of a command; the reason when there are too few or too many.
std::optional<std::string> ApplyOperands(CommandLine& command, std::string_view commandName,
                                         const std::vector<std::string_view>& operands) {
    std::size_t least = 1;
    std::size_t most = 1;
    if (command.kind == CommandKind::Create) {
        least = 2;
        most = operands.size();
    } else if (command.kind == CommandKind::Unzip) {
        most = 2;
    }
    if (operands.size() < least) {
        return std::string(commandName) + (command.kind == CommandKind::Create ? " needs an OUTPUT and at least one ITEM"
                                                                               : " needs a file");
    }
    if (operands.size() > most) {
        return "unexpected argument \"" + std::string(operands[most]) + "\"";
    }
    command.target = std::filesystem::path(operands[0]);
    if (command.kind == CommandKind::Create) {
        command.items.assign(operands.begin() + 1, operands.end());
    } else if (command.kind == CommandKind::Unzip && operands.size() == 2) {
        command.folder = std::filesystem::path(operands[1]);
    }
    return std::nullopt;
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string_view> arguments) {
    const auto optionsEnd = std::find(arguments.begin(), arguments.end(), "--");
    if (std::find(arguments.begin(), optionsEnd, "--help") != optionsEnd) {
        return Parsed(CommandKind::Help);
    }
    if (arguments.empty()) {
        return Error("no command given");
    }
    if (arguments[0] == "--version") {
        if (arguments.size() > 1) {
            return Error("unexpected argument \"" + std::string(arguments[1]) + "\"");
        }
        return Parsed(CommandKind::Version);
    }
    const auto& commands = Commands();
    const auto found = std::find_if(commands.begin(), commands.end(),
                                    [&](const CommandName& command) { return command.name == arguments[0]; });
    if (found == commands.end()) {
        return Error("unknown command \"" + std::string(arguments[0]) + "\"");
    }

    CommandLine command;
    command.kind = found->kind;
    std::vector<std::string_view> operands;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view option = argument.substr(0, equals);
        if (std::find(found->options.begin(), found->options.end(), option) == found->options.end()) {
            return Error(std::string(found->name) + " does not take the option " + std::string(option));
        }
        std::string_view value;
        if (IsFlag(option)) {
            if (equals != std::string_view::npos) {
                return Error(std::string(option) + " takes no value");
            }
        } else if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Error(std::string(option) + " needs a value");
        }
        if (auto problem = ApplyOption(command, option, value)) {
            return Error(std::move(*problem));
        }
    }
    if (auto problem = ApplyOperands(command, found->name, operands)) {
        return Error(std::move(*problem));
    }
    if (command.kind == CommandKind::Create && !command.zip && !command.encrypt) {
        return Error("create needs --zip, --encrypt or both");
    }
    return {std::move(command), {}};
}

std::string UsageLine() {
    return "Usage: vaultpack-cli create|decrypt|unzip|list|info ... (vaultpack-cli --help for details)";
}

std::string HelpText() {
    return "Usage:\n"
           "  vaultpack-cli create [--zip [--aes]] [--encrypt] [--order encrypt-first|zip-first] [--hint TEXT]\n"
           "                       [--password-file FILE] [--overwrite ask|yes|no] [--threads N]\n"
           "                       [--keep-going] OUTPUT ITEM...\n"
           "  vaultpack-cli decrypt [--password-file FILE] [--overwrite ask|yes|no] CONTAINER\n"
           "  vaultpack-cli unzip [--password-file FILE] [--overwrite ask|yes|no] [--keep-going]\n"
           "                      ARCHIVE [FOLDER]\n"
           "  vaultpack-cli list ARCHIVE\n"
           "  vaultpack-cli info CONTAINER\n"
           "  vaultpack-cli --version | --help\n"
           "\n"
           "create   packs files and folder trees into a ZIP archive (--zip), an encrypted\n"
           "         .ezc container (--encrypt), or both; several files are always zipped\n"
           "         before they are encrypted. --order chooses the order for one file;\n"
           "         without it the OUTPUT's extension does: .ezc zips first, then\n"
           "         encrypts; .zip (or any other) encrypts first, then zips.\n"
           "decrypt  restores the file of a container beside it, and unpacks it there when\n"
           "         it is an archive made by create.\n"
           "unzip    extracts an archive into FOLDER or the current folder. The password\n"
           "         of encrypted entries (AES or the weak traditional scheme) is asked\n"
           "         once, when the first needs it; without one they are skipped (exit\n"
           "         status 5).\n"
           "list     prints each entry of an archive: size, modification time (UTC), name,\n"
           "         and how an encrypted entry is protected.\n"
           "info     prints the header of a container.\n"
           "\n"
           "--aes                 create: protects the ZIP archive itself with the password\n"
           "                      as AES-256, which other archivers open (the hint is not\n"
           "                      stored in a ZIP).\n"
           "--password-file FILE  reads the password from the first line of FILE (- for\n"
           "                      standard input) instead of asking on the terminal.\n"
           "--overwrite           answers the questions about replacing existing files.\n"
           "--threads N           compresses N files at a time (1 to 32; default: one per\n"
           "                      processor); the archive is the same for every N.\n"
           "--keep-going          unzip: goes on after an entry that fails, so that\n"
           "                      everything that can be extracted is; the exit status is\n"
           "                      still 1. create: goes on after a file that cannot be\n"
           "                      opened and leaves it out (exit status 5).\n"
           "\n"
           "Exit status: 0 done, 1 failed, 2 wrong usage or password input,\n"
           "3 wrong password, 4 cancelled, 5 done but some files were left out (each\n"
           "is named on standard error).\n";
}

}  // namespace vaultpack
