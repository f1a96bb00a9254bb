#include "engine/export/spill_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "engine/export/leftover_files.h"

namespace vistrel {

SpillFolder::~SpillFolder() {
    if (path_.empty())
        return;
    ::unlink((path_ + "/" + kSpillLockName).c_str());
    ::close(lock_);
    ::rmdir(path_.c_str());
}

namespace {

std::string spillRoot() {
    const char* base = std::getenv("TMPDIR");
    return base && *base ? base : "/tmp";
}

}  // namespace

void SpillFolder::removeLeftovers() const {
    if (path_.empty())
        removeAbandonedSpillFolders(spillRoot());
}

bool SpillFolder::make() {
    if (!path_.empty())
        return true;
    const std::string root = spillRoot();
    // Folders of exports that were killed go first.
    removeAbandonedSpillFolders(root);
    std::string pattern = root + "/vistrel-pdb-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return false;
    // The lock is taken before the number is written: a folder whose lock
    // file names a process is locked while that process uses it.
    const std::string lockName = pattern + "/" + kSpillLockName;
    int fd;
    do {
        fd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::write(fd, pid.data(), pid.size()) != ssize_t(pid.size())) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(lockName.c_str());
        }
        ::rmdir(pattern.c_str());
        return false;
    }
    lock_ = fd;
    path_ = std::move(pattern);
    return true;
}

std::string SpillFolder::pagePath(int32_t position) const {
    return path_ + "/" + std::to_string(position) + ".tmp";
}

bool SpillFolder::writePage(int32_t position, const std::uint8_t* data, std::size_t size) {
    if (!make())
        return false;
    const std::string name = pagePath(position);
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(fd, data + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += std::size_t(put);
    }
    const bool closed = ::close(fd) == 0 || errno == EINTR;
    if (done < size || !closed) {
        ::unlink(name.c_str());
        return false;
    }
    return true;
}

bool SpillFolder::readPage(int32_t position, std::uint8_t* data, std::size_t size) const {
    if (path_.empty())
        return false;
    int fd;
    do {
        fd = ::open(pagePath(position).c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    ::close(fd);
    return done == size;
}

void SpillFolder::removePage(int32_t position) const {
    if (!path_.empty())
        ::unlink(pagePath(position).c_str());
}

}  // namespace vistrel
