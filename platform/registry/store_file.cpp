#include "platform/registry/store_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace win {

namespace {

LONG errorFromErrno(int error, LONG otherwise) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return LONG(ERROR_ACCESS_DENIED);
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENOENT:
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        default:
            return otherwise;
    }
}

std::string configHome() {
    // Only an absolute XDG_CONFIG_HOME counts, as the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.config";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return std::string(pw->pw_dir) + "/.config";
    return "/tmp";
}

std::string storeFolder() {
    return configHome() + "/lumbra";
}

// Creates the folder and the folders above it that are missing.
bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Writes text as the new store: temporary file, flush, rename, flush of the
// folder. The temporary file is removed on any failure.
LONG replaceStore(const std::string& folder, const std::string& text) {
    std::string temp = folder + "/registry.XXXXXX";
    FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    bool written = writeAll(fd.get(), text) && fsync(fd.get()) == 0;
    int error = errno;
    if (written) {
        written = close(fd.release()) == 0;
        error = errno;
    }
    if (written && rename(temp.c_str(), (folder + "/registry").c_str()) == 0) {
        FileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0)
            fsync(dir.get());
        return ERROR_SUCCESS;
    }
    if (written)
        error = errno;
    unlink(temp.c_str());
    return errorFromErrno(error, ERROR_WRITE_FAULT);
}

}  // namespace

std::string registryStorePath() {
    return storeFolder() + "/registry";
}

LONG readRegistryStore(RegistryStore& store) {
    FileDescriptor fd(open(registryStorePath().c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            store = RegistryStore{};
            return ERROR_SUCCESS;
        }
        return errorFromErrno(errno, ERROR_READ_FAULT);
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errorFromErrno(errno, ERROR_READ_FAULT);
        if (n == 0)
            break;
        text.append(buffer, size_t(n));
    }
    store = RegistryStore::parse(text);
    return ERROR_SUCCESS;
}

LONG changeRegistryStore(const std::function<LONG(RegistryStore&, bool* changed)>& change) {
    std::string folder = storeFolder();
    if (!makeFolders(folder))
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    // The lock is released when its descriptor closes.
    FileDescriptor lock(
        open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0)
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    while (flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return errorFromErrno(errno, ERROR_WRITE_FAULT);
    }
    // A store that exists but cannot be read is never replaced.
    RegistryStore store;
    LONG result = readRegistryStore(store);
    if (result != ERROR_SUCCESS)
        return result;
    bool changed = false;
    result = change(store, &changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    return replaceStore(folder, store.serialize());
}

}  // namespace win
