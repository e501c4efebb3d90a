#include "cli/ExitStatus.h"

namespace vaultpack {

ExitStatus ExitStatusFor(JobOutcome outcome, const RunFacts& facts) {
    const ExitStatus done = facts.itemsLeftOutBefore ? ExitStatus::ItemsLeftOut : ExitStatus::Done;
    switch (outcome) {
        case JobOutcome::Succeeded:
            return done;
        case JobOutcome::ItemsLeftOut:
            return ExitStatus::ItemsLeftOut;
        case JobOutcome::Cancelled:
            return ExitStatus::Cancelled;
        case JobOutcome::WrongPassword:
            return facts.userCancelled ? ExitStatus::Cancelled : ExitStatus::WrongPassword;
        case JobOutcome::NothingDone:
            return facts.userCancelled    ? ExitStatus::Cancelled
                   : facts.passwordRefused ? ExitStatus::BadInput
                                           : done;
        case JobOutcome::Failed:
            break;
    }
    return facts.userCancelled ? ExitStatus::Cancelled : ExitStatus::Failed;
}

ExitStatus CombinedExitStatus(ExitStatus first, ExitStatus second) {
    return first != ExitStatus::Done ? first : second;
}

}  // namespace vaultpack
