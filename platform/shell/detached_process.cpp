#include "platform/shell/detached_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace win {
namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

StartResult resultOfErrno(int error) {
    switch (error) {
    case ENOENT:
        return StartResult::NotFound;
    case ENOTDIR:
        return StartResult::PathNotFound;
    case EACCES:
    case EPERM:
        return StartResult::AccessDenied;
    case ENOEXEC:
        return StartResult::BadFormat;
    default:
        return StartResult::NoResources;
    }
}

// The open pipe ends, closed on every way out.
struct Pipe {
    int fds[2] = {-1, -1};
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    void closeEnd(int i) {
        ::close(fds[i]);
        fds[i] = -1;
    }
};

// In the program's process, between fork and exec: only async-signal-safe
// calls. Reports errno through the pipe and ends when anything fails.
[[noreturn]] void execInChild(int reportFd, const char* path, char* const* argv, const char* dir) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    if (dir != nullptr && ::chdir(dir) != 0) {
        int error = errno;
        (void)!::write(reportFd, &error, sizeof error);
        _exit(127);
    }
    // Descriptors of the caller that lack close-on-exec stay with the caller.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(path, argv, environ);
    int error = errno;
    (void)!::write(reportFd, &error, sizeof error);
    _exit(127);
}

}  // namespace

std::string findProgram(std::string_view name) {
    if (name.empty())
        return {};
    if (name.find('/') != std::string_view::npos)
        return std::string(name);
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        // An empty entry would mean the current folder; it is not searched.
        if (!folder.empty()) {
            std::string candidate = std::string(folder) + "/" + std::string(name);
            if (isExecutableFile(candidate))
                return candidate;
        }
        if (colon == std::string_view::npos)
            return {};
        folders.remove_prefix(colon + 1);
    }
}

StartResult startDetached(const std::string& programPath, const std::vector<std::string>& args,
                          const std::string& directory) {
    if (programPath.empty() || args.empty())
        return StartResult::NotFound;
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const char* dir = directory.empty() ? nullptr : directory.c_str();

    Pipe report;
    if (::pipe2(report.fds, O_CLOEXEC) != 0)
        return StartResult::NoResources;
    pid_t middle = ::fork();
    if (middle < 0)
        return StartResult::NoResources;
    if (middle == 0) {
        ::setsid();
        pid_t program = ::fork();
        if (program != 0)
            _exit(program < 0 ? 1 : 0);
        execInChild(report.fds[1], programPath.c_str(), argv.data(), dir);
    }
    report.closeEnd(1);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return StartResult::NoResources;
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report.fds[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    if (got == 0)
        return StartResult::Started;
    return got == static_cast<ssize_t>(sizeof error) ? resultOfErrno(error) : StartResult::NoResources;
}

}  // namespace win
