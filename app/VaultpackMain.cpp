#include <iostream>

#include "app/VersionText.h"

// The desktop window is not part of this build yet; the program names its
// version and points to the command-line tool, which runs every job.
int main() {
    vaultpack::VersionText& version = vaultpack::ProgramVersionText();
    version.AppendBuildStamp();
    std::cout << "Vaultpack " << version.DottedVersion() << '\n'
              << "The desktop window is not built yet; vaultpack-cli runs every job from a terminal.\n";
    return 0;
}
