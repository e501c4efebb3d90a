#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vaultpack {

enum class CommandKind { Create, Decrypt, Unzip, List, Info, Version, Help };

// How the overwrite questions are answered: on the terminal, or always yes or no.
enum class OverwritePolicy { Ask, Yes, No };

// One run of vaultpack-cli as its arguments describe it.
struct CommandLine {
    CommandKind kind = CommandKind::Help;

    // create
    bool zip = false;
    bool encrypt = false;
    bool aes = false;  // the ZIP itself protected with AES-256
    // CreateArchiveParams::order: 0 encrypt first, 1 zip first; nothing lets
    // the OUTPUT's extension choose.
    std::optional<std::int32_t> order;
    std::string hint;
    std::vector<std::filesystem::path> items;
    // Files compressed at a time; 0 for one per processor.
    std::uint32_t threads = 0;

    // create, decrypt
    std::optional<std::filesystem::path> passwordFile;  // "-" is standard input
    // create, decrypt, unzip
    OverwritePolicy overwrite = OverwritePolicy::Ask;
    // unzip: "Continue with next file?" is answered yes without asking
    bool keepGoing = false;

    // OUTPUT of create, CONTAINER of decrypt and info, ARCHIVE of unzip and list.
    std::filesystem::path target;
    // FOLDER of unzip; empty for the current folder.
    std::filesystem::path folder;
};

// A command line, or the reason it is not one (a short sentence for the
// usage message).
struct ParsedCommandLine {
    std::optional<CommandLine> command;
    std::string error;
};

// Reads the arguments after the program name. Options may stand before,
// between or after the operands, as "--name value" or "--name=value"; "--"
// ends the options. "--help" anywhere asks for the help text. An option that
// the command does not take, a missing or surplus operand, a hint longer than
// the header keeps, and "create" with neither --zip nor --encrypt are errors.
ParsedCommandLine ParseCommandLine(std::span<const std::string_view> arguments);

// The one-screen help text, and the short usage line shown after an error.
std::string HelpText();
std::string UsageLine();

}  // namespace vaultpack
