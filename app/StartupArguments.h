#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vaultpack {

// What a start of the desktop program is for, decided from its arguments
// (without the program name). Only their number and the first two count;
// comparisons are exact and case-sensitive, except the version test.
struct StartupDecision {
    enum class Outcome {
        PrintVersion,    // one argument that passes the version test
        MainWindow,      // no arguments, one other argument, "-d" alone, or three and more
        DecryptAtStart,  // "-d" and a file: the main window decrypts `file` and closes
        Uninstall,       // "-u" alone
        OpenArchive,     // "--open" and a file: the archive window shows `file`
        Nothing,         // two arguments whose first is neither "-d" nor "--open": nothing is shown
    };
    Outcome outcome = Outcome::MainWindow;
    std::string file;  // DecryptAtStart: the container to decrypt; OpenArchive: the archive to show
};

// The version test: the argument's first n characters, n being its length but
// at most 2, equal those of "-v". So "-v", "-verbose", "-" and "" pass; "-V"
// does not.
bool PassesVersionTest(std::string_view argument);

StartupDecision DecideStartup(const std::vector<std::string>& arguments);

}  // namespace vaultpack
