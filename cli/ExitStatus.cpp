#include "cli/ExitStatus.h"

namespace vaultpack {

ExitStatus ExitStatusFor(JobOutcome outcome, bool userCancelled, bool passwordRefused) {
    if (outcome == JobOutcome::Succeeded) {
        return ExitStatus::Done;
    }
    if (outcome == JobOutcome::ItemsLeftOut) {
        return ExitStatus::ItemsLeftOut;
    }
    if (outcome == JobOutcome::Cancelled || userCancelled) {
        return ExitStatus::Cancelled;
    }
    switch (outcome) {
        case JobOutcome::WrongPassword:
            return ExitStatus::WrongPassword;
        case JobOutcome::NothingDone:
            return passwordRefused ? ExitStatus::BadInput : ExitStatus::Done;
        case JobOutcome::Succeeded:
        case JobOutcome::ItemsLeftOut:
        case JobOutcome::Cancelled:
        case JobOutcome::Failed:
            break;
    }
    return ExitStatus::Failed;
}

ExitStatus CombinedExitStatus(ExitStatus first, ExitStatus second) {
    return first != ExitStatus::Done ? first : second;
}

}  // namespace vaultpack
