#include "tests/support/tiny_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace vistrel::testing {
namespace {

bool writeProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    return ::close(fd) == 0 && written;
}

}  // namespace

bool mountTinyDisk(const std::string& folder, std::size_t bytes) {
    if (::unshare(CLONE_NEWNS) != 0) {
        // Without the privilege: a user namespace in which this process is
        // root, and the mount namespace inside it.
        const std::string uid = std::to_string(::geteuid());
        const std::string gid = std::to_string(::getegid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !writeProcFile("/proc/self/uid_map", "0 " + uid + " 1") ||
            !writeProcFile("/proc/self/setgroups", "deny") ||
            !writeProcFile("/proc/self/gid_map", "0 " + gid + " 1")) {
            return false;
        }
    }
    // Mounts made here stay here.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    return ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

bool fillDisk(const std::string& file, std::size_t room) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::vector<char> block(4096, 'x');
    off_t written = 0;
    for (;;) {
        const ssize_t put = ::write(fd, block.data(), block.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        written += put;
    }
    // Back from full to `room` bytes free, in whole blocks.
    const off_t back = off_t((room + block.size() - 1) / block.size() * block.size());
    const bool ok = written >= back && ::ftruncate(fd, written - back) == 0 && ::fsync(fd) == 0;
    struct statvfs vfs;
    const bool fits = ::fstatvfs(fd, &vfs) == 0 && vfs.f_bavail * vfs.f_frsize <= room + block.size();
    return ::close(fd) == 0 && ok && fits;
}

}  // namespace vistrel::testing
