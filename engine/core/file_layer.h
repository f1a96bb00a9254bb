// The engine's file functions: every file the engine opens, reads, writes or
// measures goes through these, over the platform's Win32-style file calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/win_files.h"

namespace vistrel {

using FileHandle = win::HANDLE;

// Mode bits of FileOpen.
enum FileMode : std::uint16_t {
    kFileRead = 1,    // GENERIC_READ
    kFileWrite = 2,   // GENERIC_WRITE
    kFileCreate = 4,  // CREATE_ALWAYS (OPEN_ALWAYS with kFileAppend); else OPEN_EXISTING
    kFileAppend = 8,  // file pointer at the end after opening
    kFileNew = 16,    // CREATE_NEW: fails when the file exists
};

// Origins of FileSeek.
enum FileOrigin : std::uint32_t {
    kSeekCurrent = 1,
    kSeekEnd = 2,
    kSeekBegin = 3,
};

inline bool isValidFile(FileHandle h) {
    return h != win::INVALID_HANDLE_VALUE && h != nullptr;
}

// Converts a UTF-16 file name to the platform's narrow (UTF-8) form. Surrogate
// pairs are joined; an unpaired surrogate or an embedded NUL makes the name
// unusable (false).
bool nativeFileName(std::u16string_view name, std::string& out);

// Opens the named file with the mode bits above; INVALID_HANDLE_VALUE on failure.
FileHandle FileOpen(std::u16string_view name, std::uint16_t mode);

// Reads n bytes at the file pointer and returns the count read. With a null
// buffer the file pointer moves on by n and n is returned.
std::size_t FileRead(FileHandle h, void* buffer, std::size_t n);

// Reads n bytes at offset, leaving the file pointer alone, in one call to the
// system for any n up to 1 GiB; returns the count read.
std::size_t FileReadAt(FileHandle h, std::uint64_t offset, void* buffer, std::size_t n);

// Writes n bytes and returns the count written.
std::size_t FileWrite(FileHandle h, const void* buffer, std::size_t n);

// Size of the file in bytes (0 when it cannot be had).
std::uint64_t FileSize(FileHandle h);

// Moves the file pointer (origin kSeekCurrent, kSeekEnd or kSeekBegin; 0 is
// also the beginning) and returns the new position, or -1 when the move fails
// or the new position is not below the file size.
std::int64_t FileSeek(FileHandle h, std::int64_t offset, std::uint32_t origin);

// Moves the file pointer to the end of the file and returns the new
// position, or -1 when the move fails.
std::int64_t FileSeekEnd(FileHandle h);

bool FileFlush(FileHandle h);

// Takes an exclusive advisory lock on the whole file for this handle,
// waiting while another handle holds one; false when the file cannot be
// locked. The lock ends with FileUnlock or when the handle is closed.
bool FileLock(FileHandle h);
void FileUnlock(FileHandle h);

// Whether the named file is the one open under h: the same file whatever
// the path spelling (the same volume and file index). False when the name
// names no file.
bool FileIsSame(FileHandle h, std::u16string_view name);

// Puts the file from in the place of to in one step; when a file is at to,
// the one put there keeps its permissions.
bool FileReplace(std::u16string_view from, std::u16string_view to);

// The name of the file that the named one is, links followed; the name as
// given when it names no file.
std::u16string FileFinalName(std::u16string_view name);
bool FileDelete(std::u16string_view name);

// Whether position is at or beyond the end of the file.
bool FileAtOrPastEnd(FileHandle h, std::uint64_t position);

// Shortens the file to size bytes. False (and nothing changed) when size is
// not below the current size or the file cannot be cut.
bool FileSetSize(FileHandle h, std::uint64_t size);

// Bytes free to the caller on the file system of the named folder; -1 on
// failure; 4294967294 when 4 GiB or more are free.
std::int64_t FileFreeSpace(std::u16string_view name);

void FileClose(FileHandle h);

// Opens the named file as FileOpen does and maps all of it: read-write when
// the mode has kFileWrite, else read-only. Returns the view with the file and
// mapping handles in the outputs, or null with nothing left open (also when
// an output is missing, and for an empty file).
void* FileMapOpen(std::u16string_view name, std::uint16_t mode, FileHandle* file,
                  FileHandle* mapping);
// Unmaps the view, then closes the mapping and the file.
void FileMapClose(const void* view, FileHandle file, FileHandle mapping);
// Writes n bytes of the view from view (0: all of it) back to the file.
bool FileFlushView(const void* view, std::size_t n);

}  // namespace vistrel
