#pragma once

#include <optional>

#include "jobs/JobHost.h"

namespace vaultpack {

// "Replace this file?" over a run of files, with Yes, No, Yes to All, No to
// All and Cancel: after Yes to All or No to All, every later question of the
// run takes that answer without asking.
class OverwriteQuestion {
public:
    // Yes, No or Cancel for this file.
    MessageAnswer Ask(JobHost& host, MessageLine question);

private:
    std::optional<MessageAnswer> standingAnswer_;
};

}  // namespace vaultpack
