#include "app/ProcessStart.h"

#include <cerrno>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vaultpack {

namespace {

// posix_spawn's attributes and file actions, released on every way out.
class SpawnSettings {
public:
    explicit SpawnSettings(short flags) {
        ::posix_spawnattr_init(&attributes_);
        ::posix_spawnattr_setflags(&attributes_, flags);
        ::posix_spawn_file_actions_init(&actions_);
        for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            ::posix_spawn_file_actions_addopen(&actions_, descriptor, "/dev/null", O_RDWR, 0);
        }
    }
    ~SpawnSettings() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    int Spawn(const std::vector<std::string>& arguments, pid_t& process) const {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        return ::posix_spawnp(&process, argv[0], &actions_, &attributes_, argv.data(), environ);
    }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

}  // namespace

std::error_code StartDetached(const std::vector<std::string>& arguments) {
    // A session of its own has no controlling terminal, and a hang-up of the
    // terminal the program was started from does not reach it.
    const SpawnSettings settings(POSIX_SPAWN_SETSID);
    pid_t process = 0;
    return {settings.Spawn(arguments, process), std::generic_category()};
}

std::error_code RunToEnd(const std::vector<std::string>& arguments) {
    const SpawnSettings settings(0);
    pid_t process = 0;
    if (const int error = settings.Spawn(arguments, process)) {
        return {error, std::generic_category()};
    }
    int status = 0;
    while (::waitpid(process, &status, 0) < 0) {
        if (errno != EINTR) {
            return {errno, std::generic_category()};
        }
    }
    const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return succeeded ? std::error_code{} : std::make_error_code(std::errc::io_error);
}

}  // namespace vaultpack
