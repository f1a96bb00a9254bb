#include "platform/registry/store_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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

// Larger stores are none this program wrote: a real one is a few kilobytes.
constexpr off_t kStoreLimit = off_t(16) << 20;

// Where the store's folder is; `fallback` when neither the environment nor
// the user database names a home, and the folder is the shared /tmp/lumbra.
struct StoreFolder {
    std::string path;
    bool fallback = false;
};

StoreFolder storeFolder() {
    // Only an absolute XDG_CONFIG_HOME counts, as the XDG rules say.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return {std::string(xdg) + "/lumbra"};
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return {std::string(home) + "/.config/lumbra"};
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return {std::string(pw->pw_dir) + "/.config/lumbra"};
    return {"/tmp/lumbra", true};
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

// Writes text as the new store file at path: temporary file beside it,
// renamed over the store, so that a reader or a crash sees the old store or
// the new one, never a part of one. The file is not flushed to the disk
// here: a write returns once the value is in the store, and the system
// writes it out in its own time, as a registry writes its hives. The
// temporary file is removed on any failure. *identity gets the new file's
// identity.
LONG replaceStore(const std::string& path, const std::string& text,
                  std::optional<FileIdentity>* identity) {
    std::string temp = path + ".XXXXXX";
    FileDescriptor fd(mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    bool written = writeAll(fd.get(), text);
    int error = errno;
    struct stat st {};
    if (written && fstat(fd.get(), &st) == 0)
        identity->emplace(st);
    if (written) {
        written = close(fd.release()) == 0;
        error = errno;
    }
    if (written && rename(temp.c_str(), path.c_str()) == 0)
        return ERROR_SUCCESS;
    if (written)
        error = errno;
    unlink(temp.c_str());
    return errorFromErrno(error, ERROR_WRITE_FAULT);
}

}  // namespace

bool isPrivateFolder(const std::string& path, bool create) {
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string registryStorePath() {
    return storeFolder().path + "/registry";
}

namespace {

constexpr char kForeignFolder[] = "lies in a folder that is not this user's own (mode 0700)";

// Says once per process and store why the store is not used.
void reportUnusable(const std::string& path, const char* why) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (reported.insert(path).second) {
        std::fprintf(stderr,
                     "lumbra: the settings store %s %s; it is read as empty and not written\n",
                     path.c_str(), why);
        std::fflush(stderr);
    }
}

// The store as readRegistryStore gives it; `usable` false (and the store
// empty) when the file is not one to read or replace: not a regular file,
// larger than the limit, or in a fallback folder that is not this user's own.
LONG loadStore(std::shared_ptr<const RegistryStore>& store, bool& usable) {
    usable = true;
    const StoreFolder folder = storeFolder();
    const std::string path = folder.path + "/registry";
    auto unusable = [&](const char* why) {
        reportUnusable(path, why);
        usable = false;
        store = std::make_shared<const RegistryStore>();
        return ERROR_SUCCESS;
    };
    if (folder.fallback) {
        struct stat st {};
        if (lstat(folder.path.c_str(), &st) != 0 && errno == ENOENT) {
            store = std::make_shared<const RegistryStore>();
            return ERROR_SUCCESS;
        }
        if (!isPrivateFolder(folder.path, false))
            return unusable(kForeignFolder);
    }
    // Not blocking: a FIFO at the name opens at once (and is then refused).
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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
    if (!S_ISREG(st.st_mode))
        return unusable("is not a regular file");
    if (st.st_size > kStoreLimit)
        return unusable("is larger than 16 MB");
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
    text.reserve(size_t(st.st_size));
    char buffer[16384];
    for (;;) {
        ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errorFromErrno(errno, ERROR_READ_FAULT);
        if (n == 0)
            break;
        if (text.size() + size_t(n) > size_t(kStoreLimit))
            return unusable("is larger than 16 MB");  // it grew while being read
        text.append(buffer, size_t(n));
    }
    store = std::make_shared<const RegistryStore>(RegistryStore::parse(text));
    remember(path, identity, store);
    return ERROR_SUCCESS;
}

// The file the store's name leads to, links followed (also a link to a file
// that does not exist yet); the name itself when it is no link.
std::string linkTarget(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        std::string target(size_t(PATH_MAX), '\0');
        const ssize_t n = readlink(at.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size())
            return at;
        target.resize(size_t(n));
        if (target[0] != '/')
            target.insert(0, at, 0, at.rfind('/') + 1);
        at = std::move(target);
    }
    return at;
}

}  // namespace

LONG readRegistryStore(std::shared_ptr<const RegistryStore>& store) {
    bool usable = true;
    return loadStore(store, usable);
}

LONG changeRegistryStore(const std::function<LONG(RegistryStore&, bool* changed)>& change) {
    const StoreFolder where = storeFolder();
    const std::string& folder = where.path;
    if (where.fallback) {
        if (!isPrivateFolder(folder, true)) {
            reportUnusable(folder + "/registry", kForeignFolder);
            return LONG(ERROR_ACCESS_DENIED);
        }
    } else if (!makeFolders(folder)) {
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    }
    // The lock is released when its descriptor closes.
    FileDescriptor lock(
        open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.get() < 0)
        return errorFromErrno(errno, ERROR_WRITE_FAULT);
    while (flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return errorFromErrno(errno, ERROR_WRITE_FAULT);
    }
    // A store that exists but cannot be read, or is no store file, is never
    // replaced.
    std::shared_ptr<const RegistryStore> current;
    bool usable = true;
    LONG result = loadStore(current, usable);
    if (result != ERROR_SUCCESS)
        return result;
    if (!usable)
        return LONG(ERROR_FILE_INVALID);
    auto store = std::make_shared<RegistryStore>(*current);
    bool changed = false;
    result = change(*store, &changed);
    if (result != ERROR_SUCCESS || !changed)
        return result;
    std::optional<FileIdentity> identity;
    // A linked store is replaced where the link leads; the link stays.
    result = replaceStore(linkTarget(folder + "/registry"), store->serialize(), &identity);
    // The process sees its own change without reading the file again.
    if (result == ERROR_SUCCESS && identity)
        remember(folder + "/registry", *identity, std::move(store));
    return result;
}

}  // namespace win
