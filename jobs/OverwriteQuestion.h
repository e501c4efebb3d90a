#pragma once

#include <optional>

#include "jobs/JobHost.h"

namespace vaultpack {

// "Replace this file?" over a run of files, with Yes to All and No to All
// beside Yes and No (and Cancel where the kind of question has it): after Yes to All or
// No to All, every later question of the run takes that answer without
// asking.
class OverwriteQuestion {
public:
    // replaceAll: an answer for the whole run given before it started.
    OverwriteQuestion(OverwriteKind kind, std::optional<bool> replaceAll) : kind_(kind), replaceAll_(replaceAll) {}

    // Yes, No or Cancel for the file at path.
    MessageAnswer Ask(JobHost& host, const std::filesystem::path& path);
    // The answer that stands for the rest of the run, if any.
    std::optional<bool> ReplaceAll() const { return replaceAll_; }

private:
    OverwriteKind kind_;
    std::optional<bool> replaceAll_;
};

}  // namespace vaultpack
