#include "files/Failure.h"

#include <cstring>
#include <utility>

namespace vaultpack {
namespace {

std::string Diagnostic(const Failure& failure) {
    std::string text = "failure " + std::to_string(static_cast<int>(failure.reason));
    if (!failure.path.empty()) {
        text += ": " + failure.path;
    }
    if (failure.systemError != 0) {
        text += std::string(": ") + std::strerror(failure.systemError);
    }
    if (!failure.detail.empty()) {
        text += " (" + failure.detail + ")";
    }
    return text;
}

}  // namespace

FailureError::FailureError(Failure failure) : std::runtime_error(Diagnostic(failure)), failure_(std::move(failure)) {}

}  // namespace vaultpack
