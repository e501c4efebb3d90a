#include "jobs/FollowOnUnzip.h"

#include "crypto/EncryptedFileReaders.h"

namespace vaultpack {

DecryptFollowOn DecideDecryptFollowOn(const JobCompletion& completion, bool unzipJobRunning) {
    DecryptFollowOn followOn;
    const std::filesystem::path& container = completion.decryptedContainer;
    if (container.empty() || !completion.decryptionCompleted) {
        return followOn;
    }
    FileJobParams unzip;
    try {
        if (ReadZipFlag(container) == 0) {
            return followOn;
        }
        unzip.sourceFiles = {DecryptionTargetPath(container)};
    } catch (const std::exception&) {
        // The decryption itself was reported; the decrypted file stays where it is.
        return followOn;
    }
    unzip.destinationFolders = {unzip.sourceFiles.front().parent_path()};
    unzip.deleteSourceAfter = true;
    unzip.container = container;
    unzip.replaceAll = completion.replaceAll;

    followOn.unzipFollows = true;
    if (!unzipJobRunning) {
        followOn.startUnzip = std::move(unzip);
    }
    return followOn;
}

}  // namespace vaultpack
