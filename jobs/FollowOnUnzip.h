#pragma once

#include <optional>

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

// What the starter of a decrypt job (the main window, the command-line tool)
// does when that job has completed.
struct DecryptFollowOn {
    // The decrypted file is a ZIP archive that belongs to an unzip job: the
    // Unzip File button stays disabled until that unzip has ended.
    bool unzipFollows = false;
    // The unzip job to start now: the decrypted archive, extracted into the
    // container's folder and removed afterwards. Nothing when no unzip
    // follows or one runs already (that running job's end counts instead).
    std::optional<FileJobParams> startUnzip;

    // Started to decrypt one file at once and then quit: quit now unless an
    // unzip follows, whose end is then the moment to quit.
    bool QuitWhenDecryptingAtStart() const { return !unzipFollows; }
};

// Decides from a decrypt job's completion alone: an unzip follows only a
// decryption that completed and wrote an archive (decryptedArchive). The
// container is not read again, so a file put in its place meanwhile cannot
// name another archive to unpack and remove.
DecryptFollowOn DecideDecryptFollowOn(const JobCompletion& completion, bool unzipJobRunning);

}  // namespace vaultpack
