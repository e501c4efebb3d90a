#include "jobs/FollowOnUnzip.h"

#include <utility>

namespace vaultpack {

DecryptFollowOn DecideDecryptFollowOn(const JobCompletion& completion, bool unzipJobRunning) {
    DecryptFollowOn followOn;
    if (!completion.decryptionCompleted || completion.decryptedArchive.empty()) {
        return followOn;
    }
    FileJobParams unzip;
    unzip.sourceFiles = {completion.decryptedArchive};
    unzip.destinationFolders = {completion.decryptedArchive.parent_path()};
    unzip.deleteSourceAfter = true;
    unzip.container = completion.decryptedContainer;
    unzip.replaceAll = completion.replaceAll;

    followOn.unzipFollows = true;
    if (!unzipJobRunning) {
        followOn.startUnzip = std::move(unzip);
    }
    return followOn;
}

}  // namespace vaultpack
