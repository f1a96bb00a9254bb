// Win32 file calls over POSIX: the handful of kernel file functions the engine
// uses, with the argument values, results and failure values of the originals.
// Names are narrow (UTF-8 on this platform); a backslash separates folders as
// well as a slash.
#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

using HANDLE = void*;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using ULONGLONG = std::uint64_t;

struct ULARGE_INTEGER {
    ULONGLONG QuadPart;
};

// 100-nanosecond intervals since 1 January 1601 (UTC).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// What GetFileInformationByHandle tells: the volume serial number and the
// file index together name one file, whatever path it was opened by.
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};

// Where a read given one starts: the 64-bit offset in Offset (low half) and
// OffsetHigh. The other members are accepted and ignored.
struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

// Handles are numbers in pointer form, as on the system the engine was made for.
inline HANDLE const INVALID_HANDLE_VALUE =
    reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));  // NOLINT(performance-no-int-to-ptr)

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;

constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 16;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 128;

constexpr DWORD LOCKFILE_FAIL_IMMEDIATELY = 1;
constexpr DWORD LOCKFILE_EXCLUSIVE_LOCK = 2;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 1;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

constexpr DWORD PAGE_READONLY = 2;
constexpr DWORD PAGE_READWRITE = 4;
constexpr DWORD FILE_MAP_READ = 4;
constexpr DWORD FILE_MAP_WRITE = 2;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0xF001F;

constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_FILE_INVALID = 1006;

// Opens or creates a file. Access is GENERIC_READ and/or GENERIC_WRITE, or 0
// with OPEN_EXISTING for a handle that only asks about the file (no read
// permission needed); the disposition one of CREATE_NEW .. TRUNCATE_EXISTING.
// Share mode, security attributes, flags and template are accepted and
// ignored. Returns INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);

// Reads up to n bytes at the file pointer; *bytesRead gets the count (0 at the
// end). With an OVERLAPPED the bytes are read at its offset instead, in one
// call, and the file pointer stays where it was.
BOOL ReadFile(HANDLE file, void* buffer, DWORD n, DWORD* bytesRead, OVERLAPPED* overlapped);

// Writes n bytes at the file pointer; *bytesWritten gets the count.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD n, DWORD* bytesWritten, void* overlapped);

// Moves the file pointer. Without distanceHigh the distance is a signed 32-bit
// value; with it the two make one signed 64-bit distance and *distanceHigh gets
// the high half of the new position. Returns the low half of the new position,
// or INVALID_SET_FILE_POINTER (with GetLastError() != NO_ERROR) on failure; a
// position before the start of the file fails.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);

// Low 32 bits of the file size; *sizeHigh gets the high half when given.
// INVALID_FILE_SIZE (with GetLastError() != NO_ERROR) on failure.
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);

// Cuts or extends the file at the file pointer.
BOOL SetEndOfFile(HANDLE file);

BOOL FlushFileBuffers(HANDLE file);

// Locks the file for this handle, exclusively with LOCKFILE_EXCLUSIVE_LOCK
// (else shared), waiting while another handle holds a lock that conflicts
// unless LOCKFILE_FAIL_IMMEDIATELY is given (then ERROR_LOCK_VIOLATION). The
// locks are advisory and cover the whole file whatever range is given; the
// reserved word, the range and the OVERLAPPED are accepted and ignored. A
// lock ends with UnlockFileEx or when the handle is closed.
BOOL LockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD bytesLow, DWORD bytesHigh,
                OVERLAPPED* overlapped);
BOOL UnlockFileEx(HANDLE file, DWORD reserved, DWORD bytesLow, DWORD bytesHigh,
                  OVERLAPPED* overlapped);

// Volume, index, size, link count, times and attributes of an open file.
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information);

// Renames a file; with MOVEFILE_REPLACE_EXISTING a file already at the new
// name is replaced in one step, else that is an error (ERROR_ALREADY_EXISTS).
BOOL MoveFileExA(const char* existingName, const char* newName, DWORD flags);

// Puts the file replacement in the place of the file replaced in one step;
// the file at the name keeps the replaced file's permissions. No backup is
// made (backupName must be null); flags and the last two are ignored.
BOOL ReplaceFileA(const char* replacedName, const char* replacementName, const char* backupName,
                  DWORD flags, void* exclude, void* reserved);

// The path of the file open under the handle, every link followed, into
// buffer (size bytes, the terminator included). Returns the path's length;
// when buffer is too small, the size needed with the terminator; 0 on
// failure. flags are ignored.
DWORD GetFinalPathNameByHandleA(HANDLE file, char* buffer, DWORD size, DWORD flags);

BOOL DeleteFileA(const char* fileName);

BOOL CloseHandle(HANDLE handle);

// Free space of the file system holding directoryName (a folder, or any
// existing path on it).
BOOL GetDiskFreeSpaceExA(const char* directoryName, ULARGE_INTEGER* freeBytesAvailableToCaller,
                         ULARGE_INTEGER* totalNumberOfBytes,
                         ULARGE_INTEGER* totalNumberOfFreeBytes);

// Error code of the last failing call on this thread.
// A mapping of a whole file (maximum size 0, no name): PAGE_READONLY or
// PAGE_READWRITE, as the file's access allows. Null on failure, among others
// for an empty file. The mapping is a handle of its own for CloseHandle.
HANDLE CreateFileMappingA(HANDLE file, void* securityAttributes, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, const char* name);
// Maps bytes of the file from the offset (0 bytes: to the end of the file);
// FILE_MAP_READ, or FILE_MAP_WRITE / FILE_MAP_ALL_ACCESS for a writable view
// whose changes reach the file. Null on failure.
void* MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytes);
BOOL UnmapViewOfFile(const void* view);
// Writes n bytes of a view from base (0: to the end of the view) to the file.
BOOL FlushViewOfFile(const void* base, std::size_t bytes);

DWORD GetLastError();

}  // namespace win
