#pragma once

#include <string>

#include "jobs/JobHost.h"

namespace vaultpack::test {

// The English text of a message box or a status line, as the user reads it.
std::string EnglishText(const MessageBoxRequest& request);
std::string EnglishText(const MessageLine& line);

}  // namespace vaultpack::test
