#include "platform/files/win_files.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace win {
namespace {

thread_local DWORD lastError = NO_ERROR;

BOOL fail(DWORD code) {
    lastError = code;
    return 0;
}

DWORD errorFromErrno(int e) {
    switch (e) {
        case ENOENT:
        case ENOTDIR:
            return ERROR_FILE_NOT_FOUND;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

// Handles carry the descriptor plus one, so that no valid handle is null or
// INVALID_HANDLE_VALUE.
HANDLE handleFromFd(int fd) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): handles are numbers in pointer form
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

int fdFromHandle(HANDLE h) {
    std::intptr_t v = reinterpret_cast<std::intptr_t>(h);
    if (v <= 0 || v > INT_MAX)
        return -1;
    return static_cast<int>(v - 1);
}

// Backslashes are folder separators, as on the system the engine was made for.
std::string nativePath(const char* name) {
    std::string path(name);
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

// The views mapped by MapViewOfFile, by start address, with their lengths.
struct Views {
    std::mutex lock;
    std::map<const char*, std::size_t> lengths;
};

Views& views() {
    static Views all;
    return all;
}

}  // namespace

DWORD GetLastError() {
    return lastError;
}

HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD /*shareMode*/,
                   void* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    if (fileName == nullptr || *fileName == '\0') {
        lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    const bool wantRead = (desiredAccess & GENERIC_READ) != 0;
    const bool wantWrite = (desiredAccess & GENERIC_WRITE) != 0;
    int flags = O_CLOEXEC;
    flags |= wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY;
    // No access asked: a handle for questions about the file alone.
    if (!wantRead && !wantWrite && creationDisposition == OPEN_EXISTING)
        flags = O_CLOEXEC | O_PATH;
    switch (creationDisposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            break;
        default:
            lastError = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
    }
    const std::string path = nativePath(fileName);
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        lastError = errorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        lastError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // CREATE_ALWAYS and TRUNCATE_EXISTING empty an existing file; this happens
    // only once the name is known to be a plain file and not a folder.
    if ((creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) &&
        S_ISREG(st.st_mode) && st.st_size != 0) {
        const int rc = wantWrite ? ::ftruncate(fd, 0) : ::truncate(path.c_str(), 0);
        if (rc != 0) {
            const int e = errno;
            ::close(fd);
            lastError = errorFromErrno(e);
            return INVALID_HANDLE_VALUE;
        }
    }
    lastError = NO_ERROR;
    return handleFromFd(fd);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD n, DWORD* bytesRead, OVERLAPPED* overlapped) {
    if (bytesRead != nullptr)
        *bytesRead = 0;
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr && n != 0)
        return fail(ERROR_INVALID_PARAMETER);
    std::uint64_t offset = 0;
    if (overlapped != nullptr) {
        offset = (static_cast<std::uint64_t>(overlapped->OffsetHigh) << 32) | overlapped->Offset;
        if (offset > static_cast<std::uint64_t>(INT64_MAX) - n)
            return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < n) {
        const ssize_t got = overlapped != nullptr ? ::pread(fd, out + done, n - done,
                                                            static_cast<off_t>(offset + done))
                                                  : ::read(fd, out + done, n - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (bytesRead != nullptr)
                *bytesRead = done;
            return fail(errorFromErrno(errno));
        }
        if (got == 0)
            break;
        done += static_cast<DWORD>(got);
    }
    if (bytesRead != nullptr)
        *bytesRead = done;
    lastError = NO_ERROR;
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD n, DWORD* bytesWritten,
               void* /*overlapped*/) {
    if (bytesWritten != nullptr)
        *bytesWritten = 0;
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (buffer == nullptr && n != 0)
        return fail(ERROR_INVALID_PARAMETER);
    DWORD done = 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    while (done < n) {
        const ssize_t put = ::write(fd, in + done, n - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            if (bytesWritten != nullptr)
                *bytesWritten = done;
            return fail(errorFromErrno(errno));
        }
        if (put == 0)
            break;
        done += static_cast<DWORD>(put);
    }
    if (bytesWritten != nullptr)
        *bytesWritten = done;
    lastError = NO_ERROR;
    return done == n ? 1 : 0;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    const int fd = fdFromHandle(file);
    if (fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
        return INVALID_SET_FILE_POINTER;
    }
    std::int64_t move = distance;
    if (distanceHigh != nullptr) {
        move = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
            static_cast<std::uint32_t>(distance));
    }
    std::int64_t base;
    switch (moveMethod) {
        case FILE_BEGIN:
            base = 0;
            break;
        case FILE_CURRENT:
            base = ::lseek(fd, 0, SEEK_CUR);
            break;
        case FILE_END: {
            struct stat st;
            base = ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
            break;
        }
        default:
            lastError = ERROR_INVALID_PARAMETER;
            return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        lastError = errorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if ((move < 0 && base + move < 0) || (move > 0 && base > INT64_MAX - move)) {
        lastError = ERROR_NEGATIVE_SEEK;
        return INVALID_SET_FILE_POINTER;
    }
    const off_t target = static_cast<off_t>(base + move);
    if (::lseek(fd, target, SEEK_SET) != target) {
        lastError = errorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    const auto pos = static_cast<std::uint64_t>(target);
    if (distanceHigh != nullptr)
        *distanceHigh = static_cast<LONG>(pos >> 32);
    lastError = NO_ERROR;
    return static_cast<DWORD>(pos & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
    const int fd = fdFromHandle(file);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        lastError = fd < 0 ? ERROR_INVALID_HANDLE : errorFromErrno(errno);
        return INVALID_FILE_SIZE;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (sizeHigh != nullptr)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    lastError = NO_ERROR;
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL SetEndOfFile(HANDLE file) {
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    const off_t here = ::lseek(fd, 0, SEEK_CUR);
    if (here < 0 || ::ftruncate(fd, here) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL FlushFileBuffers(HANDLE file) {
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (::fsync(fd) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL LockFileEx(HANDLE file, DWORD flags, DWORD /*reserved*/, DWORD /*bytesLow*/,
                DWORD /*bytesHigh*/, OVERLAPPED* /*overlapped*/) {
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    int operation = (flags & LOCKFILE_EXCLUSIVE_LOCK) ? LOCK_EX : LOCK_SH;
    if (flags & LOCKFILE_FAIL_IMMEDIATELY)
        operation |= LOCK_NB;
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return fail(errno == EWOULDBLOCK ? ERROR_LOCK_VIOLATION : errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL UnlockFileEx(HANDLE file, DWORD /*reserved*/, DWORD /*bytesLow*/, DWORD /*bytesHigh*/,
                  OVERLAPPED* /*overlapped*/) {
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (::flock(fd, LOCK_UN) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) {
    const int fd = fdFromHandle(file);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (information == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(errorFromErrno(errno));
    // Seconds from 1601 to 1970, in 100-nanosecond intervals.
    constexpr std::uint64_t kEpoch = 116444736000000000ULL;
    auto fileTime = [](const timespec& t) {
        const std::uint64_t v = kEpoch + std::uint64_t(t.tv_sec) * 10000000ULL +
                                std::uint64_t(t.tv_nsec) / 100;
        return FILETIME{DWORD(v & 0xFFFFFFFFu), DWORD(v >> 32)};
    };
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const auto device = static_cast<std::uint64_t>(st.st_dev);
    const auto index = static_cast<std::uint64_t>(st.st_ino);
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    information->dwFileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    information->ftCreationTime = fileTime(st.st_ctim);
    information->ftLastAccessTime = fileTime(st.st_atim);
    information->ftLastWriteTime = fileTime(st.st_mtim);
    // The device number folded into the 32-bit serial number.
    information->dwVolumeSerialNumber = DWORD((device ^ (device >> 32)) & 0xFFFFFFFFu);
    information->nFileSizeHigh = DWORD(size >> 32);
    information->nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
    information->nNumberOfLinks = DWORD(st.st_nlink);
    information->nFileIndexHigh = DWORD(index >> 32);
    information->nFileIndexLow = DWORD(index & 0xFFFFFFFFu);
    lastError = NO_ERROR;
    return 1;
}

BOOL MoveFileExA(const char* existingName, const char* newName, DWORD flags) {
    if (existingName == nullptr || newName == nullptr || *existingName == '\0' ||
        *newName == '\0')
        return fail(ERROR_FILE_NOT_FOUND);
    const std::string from = nativePath(existingName);
    const std::string to = nativePath(newName);
    const int rc = (flags & MOVEFILE_REPLACE_EXISTING)
                       ? ::rename(from.c_str(), to.c_str())
                       : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (rc != 0)
        return fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL ReplaceFileA(const char* replacedName, const char* replacementName, const char* backupName,
                  DWORD /*flags*/, void* /*exclude*/, void* /*reserved*/) {
    if (replacedName == nullptr || replacementName == nullptr || *replacedName == '\0' ||
        *replacementName == '\0')
        return fail(ERROR_FILE_NOT_FOUND);
    if (backupName != nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const std::string replaced = nativePath(replacedName);
    const std::string replacement = nativePath(replacementName);
    struct stat st;
    if (::stat(replaced.c_str(), &st) != 0)
        return fail(errorFromErrno(errno));
    if (::chmod(replacement.c_str(), st.st_mode & 07777) != 0 ||
        ::rename(replacement.c_str(), replaced.c_str()) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

DWORD GetFinalPathNameByHandleA(HANDLE file, char* buffer, DWORD size, DWORD /*flags*/) {
    const int fd = fdFromHandle(file);
    if (fd < 0) {
        fail(ERROR_INVALID_HANDLE);
        return 0;
    }
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path);
    if (length <= 0 || length >= ssize_t(sizeof path)) {
        fail(length < 0 ? errorFromErrno(errno) : ERROR_INVALID_PARAMETER);
        return 0;
    }
    lastError = NO_ERROR;
    if (buffer == nullptr || DWORD(length) >= size)
        return DWORD(length) + 1;
    std::memcpy(buffer, path, std::size_t(length));
    buffer[length] = '\0';
    return DWORD(length);
}

BOOL DeleteFileA(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0')
        return fail(ERROR_FILE_NOT_FOUND);
    if (::unlink(nativePath(fileName).c_str()) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL CloseHandle(HANDLE handle) {
    const int fd = fdFromHandle(handle);
    if (fd < 0)
        return fail(ERROR_INVALID_HANDLE);
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL GetDiskFreeSpaceExA(const char* directoryName, ULARGE_INTEGER* freeBytesAvailableToCaller,
                         ULARGE_INTEGER* totalNumberOfBytes,
                         ULARGE_INTEGER* totalNumberOfFreeBytes) {
    const std::string path =
        nativePath(directoryName != nullptr && *directoryName != '\0' ? directoryName : ".");
    struct statvfs vfs;
    if (::statvfs(path.c_str(), &vfs) != 0)
        return fail(errorFromErrno(errno));
    const std::uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
    if (freeBytesAvailableToCaller != nullptr)
        freeBytesAvailableToCaller->QuadPart = unit * vfs.f_bavail;
    if (totalNumberOfBytes != nullptr)
        totalNumberOfBytes->QuadPart = unit * vfs.f_blocks;
    if (totalNumberOfFreeBytes != nullptr)
        totalNumberOfFreeBytes->QuadPart = unit * vfs.f_bfree;
    lastError = NO_ERROR;
    return 1;
}

HANDLE CreateFileMappingA(HANDLE file, void* /*securityAttributes*/, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, const char* name) {
    const int fd = fdFromHandle(file);
    if (fd < 0) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if ((protect != PAGE_READONLY && protect != PAGE_READWRITE) || maximumSizeHigh != 0 ||
        maximumSizeLow != 0 || name != nullptr) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        lastError = errorFromErrno(errno);
        return nullptr;
    }
    if (st.st_size == 0) {
        lastError = ERROR_FILE_INVALID;
        return nullptr;
    }
    const int access = ::fcntl(fd, F_GETFL) & O_ACCMODE;
    if (protect == PAGE_READWRITE ? access != O_RDWR : access == O_WRONLY) {
        lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    const int mapping = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (mapping < 0) {
        lastError = errorFromErrno(errno);
        return nullptr;
    }
    lastError = NO_ERROR;
    return handleFromFd(mapping);
}

void* MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytes) {
    const int fd = fdFromHandle(mapping);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    const std::uint64_t offset = (std::uint64_t(offsetHigh) << 32) | offsetLow;
    const std::uint64_t size = std::uint64_t(st.st_size);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (offset >= size || (page > 0 && offset % std::uint64_t(page) != 0) ||
        (bytes != 0 && bytes > size - offset)) {
        lastError = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    const std::size_t length = bytes != 0 ? bytes : std::size_t(size - offset);
    const bool write = desiredAccess == FILE_MAP_ALL_ACCESS || (desiredAccess & FILE_MAP_WRITE);
    void* view = ::mmap(nullptr, length, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd,
                        off_t(offset));
    if (view == MAP_FAILED) {
        lastError = errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : errorFromErrno(errno);
        return nullptr;
    }
    Views& all = views();
    try {
        std::lock_guard<std::mutex> hold(all.lock);
        all.lengths[static_cast<const char*>(view)] = length;
    } catch (...) {
        ::munmap(view, length);
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    lastError = NO_ERROR;
    return view;
}

BOOL UnmapViewOfFile(const void* view) {
    Views& all = views();
    std::size_t length = 0;
    {
        std::lock_guard<std::mutex> hold(all.lock);
        auto it = all.lengths.find(static_cast<const char*>(view));
        if (it == all.lengths.end())
            return fail(ERROR_INVALID_PARAMETER);
        length = it->second;
        all.lengths.erase(it);
    }
    if (::munmap(const_cast<void*>(view), length) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

BOOL FlushViewOfFile(const void* base, std::size_t bytes) {
    const char* at = static_cast<const char*>(base);
    const char* start = nullptr;
    std::size_t length = 0;
    {
        Views& all = views();
        std::lock_guard<std::mutex> hold(all.lock);
        auto it = all.lengths.upper_bound(at);
        if (it == all.lengths.begin())
            return fail(ERROR_INVALID_PARAMETER);
        --it;
        start = it->first;
        length = it->second;
    }
    if (at >= start + length)
        return fail(ERROR_INVALID_PARAMETER);
    // msync wants a page-aligned start: flush from the view's page of base.
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::size_t skip = std::size_t(at - start);
    const std::size_t from = page > 0 ? skip / std::size_t(page) * std::size_t(page) : 0;
    const std::size_t end = bytes == 0 || bytes > length - skip ? length : skip + bytes;
    if (::msync(const_cast<char*>(start) + from, end - from, MS_SYNC) != 0)
        return fail(errorFromErrno(errno));
    lastError = NO_ERROR;
    return 1;
}

}  // namespace win
