#include "jobs/JobPaths.h"

#include <system_error>

namespace vaultpack {

std::optional<std::filesystem::path> GivenOrAsked(const std::vector<std::filesystem::path>& given,
                                                  const std::function<std::optional<std::filesystem::path>()>& ask) {
    if (!given.empty()) {
        return given.front();
    }
    return ask();
}

bool PathExists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::optional<MessageLine> OutputRefusal(const std::filesystem::path& output) {
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(output, ignored);
    if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    return MessageLine::Text(MessageId::ReasonNotARegularFile, {output.string()});
}

}  // namespace vaultpack
