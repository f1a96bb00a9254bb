#include "engine/export/leftover_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vistrel {

namespace {

constexpr std::string_view kSpillPrefix = "vistrel-pdb-";
constexpr size_t kSpillRandom = 6;  // the XXXXXX of mkdtemp
constexpr size_t kTagDigits = 16;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A process number of at most 9 digits without a leading zero; 0 otherwise.
pid_t parsePid(std::string_view text) {
    if (text.empty() || text.size() > 9 || text[0] == '0')
        return 0;
    pid_t pid = 0;
    for (char c : text) {
        if (!isDigit(c))
            return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Whether no process has the number (this one has).
bool processGone(pid_t pid) {
    return pid > 0 && pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH;
}

// Whether the open file is this user's, of the kind asked for, and no one
// holds its lock; the lock is then this handle's until it closes.
bool ownedAndFree(int fd, mode_t kind) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || (st.st_mode & S_IFMT) != kind || st.st_uid != geteuid())
        return false;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

class Folder {
public:
    // Reads the folder open as fd from its start (a copy of fd is taken; the
    // copies share their place in the folder).
    explicit Folder(int fd) {
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy >= 0 && !(dir_ = fdopendir(copy)))
            close(copy);
        if (dir_)
            rewinddir(dir_);
    }
    explicit Folder(const char* path) : dir_(opendir(path)) {}
    ~Folder() {
        if (dir_)
            closedir(dir_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return dir_ != nullptr; }
    int fd() const { return dirfd(dir_); }
    // The next name other than "." and "..", or null at the end.
    const char* next() {
        while (const dirent* entry = readdir(dir_)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                return entry->d_name;
        }
        return nullptr;
    }

private:
    DIR* dir_ = nullptr;
};

bool isPageFileName(std::string_view name) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix))
        return false;
    name.remove_suffix(kSuffix.size());
    return name[0] != '0' && name.size() <= 10 &&
           name.find_first_not_of("0123456789") == std::string_view::npos;
}

// Whether the spill folder open as dir is this user's, the process its lock
// file names is gone and no one holds the lock.
bool spillFolderAbandoned(int dir) {
    struct stat st {};
    if (fstat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return false;
    const Descriptor lock(
        openat(dir, kSpillLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (lock.get() < 0)
        return false;
    char text[16];
    ssize_t n;
    do {
        n = read(lock.get(), text, sizeof text);
    } while (n < 0 && errno == EINTR);
    if (n <= 0 || size_t(n) == sizeof text || text[n - 1] != '\n')
        return false;
    return processGone(parsePid(std::string_view(text, size_t(n) - 1))) &&
           ownedAndFree(lock.get(), S_IFREG);
}

// Removes the page files and the lock file of the spill folder open as dir
// when it holds nothing else; whether it did.
bool emptySpillFolder(int dir) {
    {
        Folder folder(dir);
        if (!folder.isOpen())
            return false;
        while (const char* name = folder.next()) {
            if (!isPageFileName(name) && std::strcmp(name, kSpillLockName) != 0)
                return false;
        }
    }
    Folder folder(dir);
    if (!folder.isOpen())
        return false;
    bool all = true;
    while (const char* name = folder.next()) {
        if (isPageFileName(name))
            all = unlinkat(dir, name, 0) == 0 && all;
    }
    return unlinkat(dir, kSpillLockName, 0) == 0 && all;
}

}  // namespace

std::string randomHexTag() {
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != ssize_t(sizeof bits)) {
        // No random source: the time and a counter of this process.
        static std::atomic<std::uint64_t> counter{0};
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        bits = std::uint64_t(now.tv_sec) * 1000000007u + std::uint64_t(now.tv_nsec) +
               (counter.fetch_add(1) << 40) + std::uint64_t(getpid());
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string tag(kTagDigits, '0');
    for (size_t i = 0; i < kTagDigits; ++i)
        tag[i] = kDigits[(bits >> (4 * i)) & 15];
    return tag;
}

std::string newFilePrefix(const std::string& target) {
    return target + "." + std::to_string(getpid()) + ".";
}

void removeAbandonedSpillFolders(const std::string& root) {
    Folder folder(root.c_str());
    if (!folder.isOpen())
        return;
    while (const char* entry = folder.next()) {
        const std::string_view name(entry);
        if (name.size() != kSpillPrefix.size() + kSpillRandom || !name.starts_with(kSpillPrefix))
            continue;
        const Descriptor dir(
            openat(folder.fd(), entry, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (dir.get() >= 0 && spillFolderAbandoned(dir.get()) && emptySpillFolder(dir.get()))
            unlinkat(folder.fd(), entry, AT_REMOVEDIR);
    }
}

void removeAbandonedNewFiles(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        return;
    Folder folder(dir.c_str());
    if (!folder.isOpen())
        return;
    constexpr std::string_view kSuffix = ".tmp";
    while (const char* entry = folder.next()) {
        // BASE.PID.RANDOM.tmp
        std::string_view name(entry);
        if (name.size() <= base.size() + 1 || !name.starts_with(base) || name[base.size()] != '.' ||
            !name.ends_with(kSuffix))
            continue;
        name.remove_prefix(base.size() + 1);
        name.remove_suffix(kSuffix.size());
        const size_t dot = name.find('.');
        if (dot == std::string_view::npos || name.size() - dot - 1 != kTagDigits ||
            name.find_first_not_of("0123456789abcdef", dot + 1) != std::string_view::npos)
            continue;
        if (!processGone(parsePid(name.substr(0, dot))))
            continue;
        const Descriptor file(
            openat(folder.fd(), entry, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (file.get() >= 0 && ownedAndFree(file.get(), S_IFREG))
            unlinkat(folder.fd(), entry, 0);
    }
}

}  // namespace vistrel
