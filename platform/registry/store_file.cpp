#include "platform/registry/store_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
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

// The store as last read or written by this process, with the identity of
// the file it came from. Writers replace the file by renaming a new one over
// it, so a file with the same device, inode, size and modification time holds
// the same text and need not be read and parsed again.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    explicit FileIdentity(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(st.st_mtim) {}

    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

struct StoreCache {
    std::mutex mutex;
    std::string path;
    std::optional<FileIdentity> identity;
    std::shared_ptr<const RegistryStore> store;
};

StoreCache& storeCache() {
    static StoreCache cache;
    return cache;
}

void remember(const std::string& path, const FileIdentity& identity,
              std::shared_ptr<const RegistryStore> store) {
    StoreCache& cache = storeCache();
    std::lock_guard lock(cache.mutex);
    cache.path = path;
    cache.identity = identity;
    cache.store = std::move(store);
}

// Writes text as the new store: temporary file, flush, rename, flush of the
// folder. The temporary file is removed on any failure. *identity gets the
// new file's identity.
LONG replaceStore(const std::string& folder, const std::string& text,
                  std::optional<FileIdentity>* identity) {
    std::string temp = folder + "/registry.XXXXXX";
    FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    bool written = writeAll(fd.get(), text) && fsync(fd.get()) == 0;
    int error = errno;
    struct stat st {};
    if (written && fstat(fd.get(), &st) == 0)
        identity->emplace(st);
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

LONG readRegistryStore(std::shared_ptr<const RegistryStore>& store) {
    const std::string path = registryStorePath();
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            store = std::make_shared<const RegistryStore>();
            return ERROR_SUCCESS;
        }
        return errorFromErrno(errno, ERROR_READ_FAULT);
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        return errorFromErrno(errno, ERROR_READ_FAULT);
    const FileIdentity identity(st);
    {
        StoreCache& cache = storeCache();
        std::lock_guard lock(cache.mutex);
        if (cache.store && cache.path == path && cache.identity == identity) {
            store = cache.store;
            return ERROR_SUCCESS;
        }
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
    store = std::make_shared<const RegistryStore>(RegistryStore::parse(text));
    remember(path, identity, store);
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
    std::shared_ptr<const RegistryStore> current;
    LONG result = readRegistryStore(current);
    if (result != ERROR_SUCCESS)
        return result;
    auto store = std::make_shared<RegistryStore>(*current);
    bool changed = false;
    result = change(*store, &changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    std::optional<FileIdentity> identity;
    result = replaceStore(folder, store->serialize(), &identity);
    // The process sees its own change without reading the file again.
    if (result == ERROR_SUCCESS && identity)
        remember(folder + "/registry", *identity, std::move(store));
    return result;
}

}  // namespace win
